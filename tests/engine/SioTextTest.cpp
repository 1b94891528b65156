#include "engine/SioText.h"
#include "engine/Sio.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Sio;

TEST(SioText, HexAndBitTexts) {
    EXPECT_EQ(Hex_nach_Bin("a5 0f"), "1010010100001111");
    EXPECT_EQ(Hex_nach_Bin("9-G,F"), "10011111");
    EXPECT_EQ(Bin_nach_Hex(""), "");
    EXPECT_EQ(Bin_nach_Hex("101"), "A0");
    EXPECT_EQ(Bin_nach_Hex("1"), "80");
    EXPECT_EQ(Bin_nach_Hex("0000"), "00");
    EXPECT_EQ(Bin_nach_Hex("0000000000000000"), "00");
    EXPECT_EQ(Bin_nach_Hex("111111110000000000000000"), "FF");
    EXPECT_EQ(Bin_nach_Hex("000000001111111100000000"), "00FF");
    EXPECT_EQ(Bin_nach_Hex("10x11111"), "0F");
    EXPECT_EQ(Bin_nach_Hex(Hex_nach_Bin("0123456789ABCDEF")), "0123456789ABCDEF");
    EXPECT_EQ(Byte_nach_Hex(0x0A), "0A");
    EXPECT_EQ(Byte_nach_Hex(0xFF), "FF");
    EXPECT_EQ(Byte_nach_Hex(0), "00");
    EXPECT_EQ(Zahl_Text(-5), " -5  ");
    EXPECT_EQ(Zahl_Text(-2147483647 - 1), " -2147483648  ");
}

TEST(SioText, CutLineSplitters) {
    const std::string line = "1 0:01:00.00, 0:02:00.00 ; Titel";
    EXPECT_EQ(Text_vor_Semikolon(line), "1 0:01:00.00, 0:02:00.00 ");
    EXPECT_EQ(Text_nach_Semikolon(line), " Titel");
    EXPECT_EQ(Text_vor_Semikolon("ohne"), "ohne");
    EXPECT_EQ(Text_nach_Semikolon("ohne"), "");
    EXPECT_EQ(Text_nach_Semikolon("a;b;c"), "b;c");

    EXPECT_EQ(Text_vor_Komma("1 0:01:00.00, 0:02:00.00"), " 0:01:00.00");
    EXPECT_EQ(Text_nach_Komma("1 0:01:00.00, 0:02:00.00"), " 0:02:00.00");
    EXPECT_EQ(Text_vor_Komma("1 0:01:00.00"), "");
    EXPECT_EQ(Text_nach_Komma("1 0:01:00.00"), "");
    EXPECT_EQ(Text_vor_Komma(",x"), "");
    EXPECT_EQ(Text_vor_Komma("#,x"), "");

    // Length limits of the comment and the second time.
    const std::string longTail(600, 'x');
    EXPECT_EQ(Text_nach_Semikolon(";" + longTail).size(), 500u);
    EXPECT_EQ(Text_nach_Komma("," + longTail).size(), 100u);
}

TEST(SioText, MeanAboveFloor) {
    const std::vector<std::int32_t> t{10, 0, 20, -1};
    EXPECT_EQ(Mittelwert_ueber(t, 3, 0), 15);
    EXPECT_EQ(Mittelwert_ueber(t, 3, 10), 20);
    EXPECT_EQ(Mittelwert_ueber(t, 3, -5), 10);
    EXPECT_EQ(Mittelwert_ueber(std::vector<std::int32_t>{0, -1}, 1, 0), 0);
    EXPECT_EQ(Mittelwert_ueber(std::vector<std::int32_t>{-1}, 0, 0), 0);
    EXPECT_EQ(Mittelwert_ueber(std::vector<std::int32_t>{1, 2, -1, 100}, 3, 0), 1);
    const std::vector<std::int32_t> big{2147483647, 2147483647, 2147483646, -1};
    EXPECT_EQ(Mittelwert_ueber(big, 3, 0), 2147483646) << "the sum must not overflow";

    // The end mark must lie within 0..high, and nothing past the table is read.
    const std::vector<std::int32_t> late{1, 2, 3, -1};
    EXPECT_THROW(Mittelwert_ueber(late, 2, 0), ERangeError);
    EXPECT_THROW(Mittelwert_ueber(std::vector<std::int32_t>{1, 2}, 5, 0), ERangeError);
    EXPECT_THROW(Mittelwert_ueber(late, -1, 0), ERangeError);
}

TEST(SioText, StandardDeviation) {
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{10, 20, 30, -1}, 3), 10);
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{7, -1}, 1), 0);
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{-1}, 0), 0);
    // Zeros are left out of the mean but count in the spread.
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{0, 10, -1}, 2), 10);
    // Halves go to the even neighbour: 0.5 -> 0, 2.5 -> 2, 3.5 -> 4.
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{0, 1, 1, 1, 1, -1}, 5), 0);
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{0, 1, 1, 5, 5, -1}, 5), 2);
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{0, 0, 0, 4, 5, -1}, 5), 4);
    // Extreme entries stay exact and within range.
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{0, 2147483647, -1}, 2), 2147483647);
    EXPECT_EQ(Standardabweichung(std::vector<std::int32_t>{1, 2147483647, -1}, 2), 1518500249);
    EXPECT_THROW(Standardabweichung(std::vector<std::int32_t>{1, 2, 3}, 2), ERangeError);
}
