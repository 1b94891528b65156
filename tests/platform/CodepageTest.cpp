#include "platform/Codepage.h"

#include <gtest/gtest.h>

using platform::cp1252ToUtf8;
using platform::utf8ToCp1252;

TEST(Codepage, EveryByteHasACharacterAndComesBack) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = cp1252ToUtf8(all);
    EXPECT_EQ(utf8ToCp1252(utf8), all);

    EXPECT_EQ(cp1252ToUtf8("Gr\xfc\xdf"
                           "e \xc4\xd6"),
              "Grüße ÄÖ");
    EXPECT_EQ(cp1252ToUtf8("\x80\x8a\x93\x94\x96\x99\x9f"), "€Š“”–™Ÿ");
    // The bytes Windows leaves undefined keep their code point.
    EXPECT_EQ(cp1252ToUtf8("\x81\x8d\x8f\x90\x9d"), "\u0081\u008d\u008f\u0090\u009d");
    EXPECT_EQ(cp1252ToUtf8("\xa0\xff"), "\u00a0ÿ");
}

TEST(Codepage, UnmappableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(utf8ToCp1252("Grüße € œ"), "Gr\xfc\xdf"
                                         "e \x80 \x9c");
    EXPECT_EQ(utf8ToCp1252("中文 😀 \u0080"), "?? ? ?");
    EXPECT_EQ(utf8ToCp1252("a\xc3"), "a?"); // cut short at the end
    EXPECT_EQ(utf8ToCp1252("\xe2\x82"
                           "A"),
              "?A");                                     // cut short before a letter
    EXPECT_EQ(utf8ToCp1252("\xc0\xaf"), "??");           // overlong
    EXPECT_EQ(utf8ToCp1252("\xed\xa0\x80"), "???");      // surrogate
    EXPECT_EQ(utf8ToCp1252("\xf4\x90\x80\x80"), "????"); // beyond U+10FFFF
    EXPECT_EQ(utf8ToCp1252("\x80\xff"
                           "b"),
              "??b");
    EXPECT_EQ(utf8ToCp1252(std::string("x\0y", 3)), std::string("x\0y", 3));
}
