#include "engine/Debug.h"

#include <gtest/gtest.h>

#include <string>

using namespace Dbg_disp;

class DebugOutput : public ::testing::Test {
protected:
    DebugOutput() {
        setDebugSink(&memo);
        Debug_An = true;
    }
    ~DebugOutput() override {
        Debug_An = false;
        setDebugSink(nullptr);
    }
    DebugMemo memo;
};

TEST_F(DebugOutput, NothingChangesWhileOffHiddenOrWithoutWindow) {
    const auto before = memo.lines;
    Debug_An = false;
    Debug_Write("x");
    Debug_WriteLn("y");
    Debug_An = true;
    memo.showing = false;
    Debug_WriteLn("z");
    setDebugSink(nullptr);
    Debug_WriteLn("w");
    EXPECT_EQ(memo.lines, before);
}

TEST_F(DebugOutput, WriteAppendsAndWriteLnEndsTheLine) {
    Debug_Write("a");
    Debug_WriteLn("b");
    ASSERT_EQ(memo.lines.size(), 3u);
    EXPECT_EQ(memo.lines[1], "ab");
    EXPECT_EQ(memo.lines[2], "");
    Debug_WriteLn("");
    EXPECT_EQ(memo.lines.size(), 4u);
}

TEST_F(DebugOutput, KeepsTheLast240LinesAndTheOneBeingWritten) {
    for (int i = 0; i < 300; ++i)
        Debug_WriteLn("Zeile " + std::to_string(i));
    ASSERT_EQ(memo.lines.size(), 241u);
    EXPECT_EQ(memo.lines.back(), "");
    EXPECT_EQ(memo.lines.front(), "Zeile 60");
    EXPECT_EQ(memo.lines[239], "Zeile 299");
}

namespace {
// A memo whose every operation fails: trace output must never end the caller.
struct BrokenSink : DebugSink {
    bool isShowing() const override { return true; }
    int lineCount() const override { throw std::runtime_error("count"); }
    void deleteFirstLine() override { throw std::runtime_error("delete"); }
    void appendToLastLine(std::string_view) override {
        ++appends;
        throw std::runtime_error("full");
    }
    void addEmptyLine() override {
        ++added;
        throw std::runtime_error("full");
    }
    int appends = 0;
    int added = 0;
};
} // namespace

TEST_F(DebugOutput, FailuresOfTheMemoAreSwallowedStepByStep) {
    BrokenSink broken;
    setDebugSink(&broken);
    EXPECT_NO_THROW(Debug_WriteLn("text"));
    EXPECT_EQ(broken.appends, 1);
    EXPECT_EQ(broken.added, 1); // the last step still runs after the others failed
    EXPECT_THROW(Debug_Write("text"), std::runtime_error); // Debug_Write catches nothing itself
}
