#include "engine/Bandposition.h"
#include "engine/Sio.h"

#include <gtest/gtest.h>

using namespace Sio;

namespace {

// The unit count of one second is module state; each test starts with the
// engine's defaults (50).
class BandpositionTest : public ::testing::Test {
protected:
    BandpositionTest() {
        Modulzustand_zuruecksetzen();
        SIO_Init();
    }
};

constexpr std::int32_t kMax = 2147483647;

} // namespace

TEST_F(BandpositionTest, DigitRunsAndTimeWords) {
    EXPECT_EQ(Zahl_Nr("COM12", 1), 12);
    EXPECT_EQ(Zahl_Nr("a1b22", 2), 22);
    EXPECT_EQ(Zahl_Nr("a1", 2), 0);
    EXPECT_EQ(Zahl_Nr("-7", 1), 7);
    EXPECT_EQ(Zahl_Nr("7", 0), 0);
    EXPECT_EQ(Zahl_Nr("x0002147483647", 1), kMax);
    EXPECT_EQ(Zahl_Nr("2147483648 5", 1), 0);
    EXPECT_EQ(Zahl_Nr("99999999999999999999999 5", 2), 5);

    EXPECT_EQ(Zeitwort_Nr("0:01:00.00, 0:02:00.00", 2), "0:02:00.00");
    EXPECT_EQ(Zeitwort_Nr("a, b", 1), "");
    EXPECT_EQ(Zeitwort_Nr("0:01, x 0:02", 2), "");
    EXPECT_EQ(Zeitwort_Nr("0:01, x 0:02", 3), "0:02");
    EXPECT_EQ(Zeitwort_Nr("0:01, x 0:02", 4), "");
    EXPECT_EQ(Zeitwort_Nr("x  -1:30 y", 1), "-1:30");
    EXPECT_EQ(Zeitwort_Nr("1:30", 0), "");
}

TEST_F(BandpositionTest, CountsOfTimeWords) {
    EXPECT_EQ(Zeitwort_nach_Zaehler("1:02:03.04", 1), 186158);
    EXPECT_EQ(Zeitwort_nach_Zaehler("-0:00:01.00", 1), -50);
    EXPECT_EQ(Zeitwort_nach_Zaehler("5", 1), 250);
    EXPECT_EQ(Zeitwort_nach_Zaehler("1:30", 1), 4500);
    EXPECT_EQ(Zeitwort_nach_Zaehler("2.10", 1), 120);
    EXPECT_EQ(Zeitwort_nach_Zaehler("abc", 1), 0);
    EXPECT_EQ(Zeitwort_nach_Zaehler("90", 1), 4500);
    EXPECT_EQ(Zeitwort_nach_Zaehler("0:75", 1), 3750);
    EXPECT_EQ(Zeitwort_nach_Zaehler("1:-30", 1), -4500) << "a '-' anywhere makes it negative";
    EXPECT_EQ(Zeitwort_nach_Zaehler("#0:00:10.00, 0:00:20.00 ; x", 2), 1000);

    Bandposition p;
    Zeitwort_nach_Position("-1:02:03.04", p);
    EXPECT_EQ(p.Vorzeichen, '-');
    EXPECT_EQ(p.Stunden, 1);
    EXPECT_EQ(p.Minuten, 2);
    EXPECT_EQ(p.Sekunden, 3);
    EXPECT_EQ(p.Halbbilder, 8);
    Zeit_Leeren(p);
    EXPECT_EQ(p.Vorzeichen, ' ');
    EXPECT_EQ(Position_nach_Zaehler(p), 0);

    const Bandposition none{' ', 167, 47, 46, 40};
    EXPECT_EQ(Position_nach_Zaehler(none), Keine_Position);
    Zaehler_nach_Position(Keine_Position, p);
    EXPECT_EQ(Position_nach_Zaehler(p), Keine_Position);
    EXPECT_EQ(p.Stunden, 167);

    // The unit count follows the module value.
    Halbbilder_pro_Sekunde = 60;
    EXPECT_EQ(Zeitwort_nach_Zaehler("1:00.02", 1), 3604);
    EXPECT_EQ(Zaehler_nach_Text(3604), " 0:01:00.02");
}

TEST_F(BandpositionTest, CountsSaturateInsteadOfWrapping) {
    EXPECT_EQ(Zeitwort_nach_Zaehler("11931:00:00", 1), kMax);
    EXPECT_EQ(Zeitwort_nach_Zaehler("-11931:00:00", 1), -kMax);
    EXPECT_EQ(Zeitwort_nach_Zaehler("2147483647:2147483647:2147483647.2147483647", 1), kMax);
    EXPECT_EQ(Zeitwort_nach_Zaehler("0.2000000000", 1), kMax);
    EXPECT_EQ(Position_nach_Zaehler({'-', kMax, kMax, kMax, kMax}), -kMax);
    EXPECT_EQ(Position_nach_Zaehler({' ', 0, 0, 0, -kMax - 1}), -kMax);

    EXPECT_EQ(Zeit_naechstes_Bild("11931:00:00"), Zaehler_nach_Text(kMax));
    EXPECT_EQ(Zeit_voriges_Bild("-11931:00:00"), Zaehler_nach_Text(-kMax));
    // The lowest count has no positive counterpart in 32 bits.
    Bandposition p;
    Zaehler_nach_Position(-kMax - 1, p);
    EXPECT_EQ(p.Vorzeichen, '-');
    EXPECT_EQ(p.Stunden, 11930);
    EXPECT_EQ(p.Halbbilder, 48);

    Halbbilder_pro_Sekunde = 0;
    EXPECT_THROW(Zaehler_nach_Text(1), ERangeError);
}

TEST_F(BandpositionTest, TextForms) {
    EXPECT_EQ(Zaehler_nach_Text(186158), " 1:02:03.04");
    EXPECT_EQ(Zaehler_nach_Text(-50), "-0:00:01.00");
    EXPECT_EQ(Zaehler_nach_Text_kurz(4500), " 0:01:30");
    EXPECT_EQ(Zaehler_nach_Text(1), " 0:00:00.00");
    EXPECT_EQ(Zaehler_nach_Text_kurz(12 * 3600 * 50), " 2:00:00");
    EXPECT_EQ(Zaehler_nach_Text_kurz(-3600 * 50), "-1:00:00");
    EXPECT_EQ(Zaehler_nach_Text(Keine_Position), " 6:47:46.20");
    EXPECT_EQ(Position_nach_Text({' ', 0, 75, 9, 7}), " 0:75:09.03");
    EXPECT_EQ(Zweistellig(0), "00");
    EXPECT_EQ(Zweistellig(9), "09");
    EXPECT_EQ(Zweistellig(10), "10");
    EXPECT_EQ(Zweistellig(123), "123");

    EXPECT_EQ(Zeitwort_normieren("x 90 y", 1), " 0:01:30.00");
    EXPECT_EQ(Zeitwort_normieren("abc", 1), " 0:00:00.00");
    EXPECT_EQ(Zeitwort_normieren("1 0:01:00.00, 0:02:00.5", 2), " 0:02:00.05");

    EXPECT_EQ(Zeit_naechstes_Bild(" 0:00:00.24"), " 0:00:01.00");
    EXPECT_EQ(Zeit_voriges_Bild(" 0:00:00.00"), "-0:00:00.01");
    EXPECT_EQ(Zeit_voriges_Bild(" 0:00:01.00"), " 0:00:00.24");
    EXPECT_EQ(Zeit_naechstes_Bild("-0:00:00.01"), " 0:00:00.00");
    EXPECT_EQ(Zeit_naechstes_Bild("abc"), "abc");
    EXPECT_EQ(Zeit_voriges_Bild(""), "");
}
