#include "engine/Debug.h"

namespace Dbg_disp {

bool Debug_An = false;

namespace {
DebugSink* sink = nullptr;
}

DebugMemo::DebugMemo() : lines{"Debug Display, 09-Apr-02", ""} {}

void DebugMemo::deleteFirstLine() {
    if (!lines.empty()) lines.erase(lines.begin());
}

void DebugMemo::appendToLastLine(std::string_view text) {
    if (lines.empty()) lines.emplace_back();
    lines.back().append(text);
}

void setDebugSink(DebugSink* s) {
    sink = s;
}
DebugSink* debugSink() {
    return sink;
}

void Debug_Write(std::string_view text) {
    if (!Debug_An || sink == nullptr || !sink->isShowing()) return;
    sink->appendToLastLine(text);
}

// Each step's failure is swallowed and the next step still runs: no trace line
// may end the operation that writes it.
void Debug_WriteLn(std::string_view text) {
    if (!Debug_An || sink == nullptr || !sink->isShowing()) return;
    try {
        if (sink->lineCount() > kMaxLines) sink->deleteFirstLine();
    } catch (...) {
    }
    try {
        Debug_Write(text);
    } catch (...) {
    }
    try {
        sink->addEmptyLine();
    } catch (...) {
    }
}

} // namespace Dbg_disp
