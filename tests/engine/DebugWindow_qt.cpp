#include "engine/Dbg_disp_qt.h"

#include <QPlainTextEdit>
#include <gtest/gtest.h>

using namespace Dbg_disp;

TEST(DebugWindow, FormShowsTraceLinesKeepsThemWhileHiddenAndCloseSwitchesOff) {
    TDebug_Display form;
    EXPECT_EQ(form.windowTitle(), "Debug_Display");
    EXPECT_EQ(form.lines(), (std::vector<std::string>{"Debug Display, 09-Apr-02", ""}));
    setDebugSink(&form);
    Debug_An = true;

    Debug_WriteLn("hidden"); // not showing yet: nothing happens
    EXPECT_EQ(form.lineCount(), 2);

    form.show();
    Debug_Write("a");
    Debug_WriteLn("b");
    for (int i = 0; i < 300; ++i)
        Debug_WriteLn("Zeile " + std::to_string(i));
    auto lines = form.lines();
    ASSERT_EQ(lines.size(), 241u);
    EXPECT_EQ(lines.front(), "Zeile 60");
    EXPECT_EQ(lines.back(), "");

    form.close(); // the user's close box
    EXPECT_FALSE(Debug_An);
    form.show();
    EXPECT_EQ(form.lines(), lines) << "contents survive hiding and showing";
    setDebugSink(nullptr);
}
