#pragma once
// Trace lines of the whole program. The engine writes them through a plain
// sink; the debug window (Dbg_disp_qt) is the sink of the running program and
// DebugMemo the one of the tests.

#include <string>
#include <string_view>
#include <vector>

namespace Dbg_disp {

// The memo that the trace lines go to. Texts are Windows-1252 bytes.
class DebugSink {
public:
    virtual ~DebugSink() = default;
    virtual bool isShowing() const = 0;
    virtual int lineCount() const = 0;
    virtual void deleteFirstLine() = 0;
    virtual void appendToLastLine(std::string_view text) = 0;
    virtual void addEmptyLine() = 0;
};

// The memo as plain lines: what the window shows, without a window.
class DebugMemo : public DebugSink {
public:
    DebugMemo();
    bool isShowing() const override { return showing; }
    int lineCount() const override { return static_cast<int>(lines.size()); }
    void deleteFirstLine() override;
    void appendToLastLine(std::string_view text) override;
    void addEmptyLine() override { lines.emplace_back(); }

    bool showing = true;
    std::vector<std::string> lines;
};

inline constexpr int kMaxLines = 240;

// Debug output on. Off at start; the main window's menu switches it.
extern bool Debug_An;

// Not owning; null means no window.
void setDebugSink(DebugSink* sink);
DebugSink* debugSink();

void Debug_Write(std::string_view text);
void Debug_WriteLn(std::string_view text);

} // namespace Dbg_disp
