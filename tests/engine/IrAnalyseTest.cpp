#include "IrLernFixture.h"

#include <string>
#include <vector>

class IrAnalyse : public IrFixture {
protected:
    IrAnalyse() { Dbg_disp::Debug_An = true; }
    bool traced(const std::string& line) const {
        return std::find(memo.lines.begin(), memo.lines.end(), line) != memo.lines.end();
    }
};

namespace {
// Frames of 67 durations (pulse first and last), each but the last followed
// by a long pause.
std::vector<std::int64_t> frames(int n, std::int64_t jitterEvery = 0) {
    std::vector<std::int64_t> d;
    for (int f = 0; f < n; ++f) {
        d.push_back(9000);
        d.push_back(4500);
        for (int b = 0; b < 32; ++b) {
            d.push_back(560 + (jitterEvery && b % jitterEvery == 0 ? 10 * f : 0));
            d.push_back(b % 3 == 0 ? 1690 : 560);
        }
        d.push_back(560);
        if (f + 1 < n) d.push_back(40000);
    }
    return d;
}
} // namespace

TEST_F(IrAnalyse, DeadTimeCorrection) {
    Sio::Abfallzeit_IR_Detektor = 80;
    setCapture({640, 480, 1000, 500, 700});
    Sio::Korrigiere_Totzeiten();
    EXPECT_EQ(Sio::IR_Messwerte[1], 560);
    EXPECT_EQ(Sio::IR_Messwerte[2], 560);
    EXPECT_EQ(Sio::IR_Messwerte[3], 920);
    EXPECT_EQ(Sio::IR_Messwerte[4], 580);
    EXPECT_EQ(Sio::IR_Messwerte[5], 620);
    EXPECT_EQ(Sio::IR_Messwerte[6], 0);
    EXPECT_EQ(Sio::IR_Fehlertext, "");
    EXPECT_TRUE(traced("Abfallzeit_IR_Detektor (usec)   80  "));

    // 160 becomes 80, which is not above the decay time.
    setCapture({1000, 500, 160, 500, 1000});
    Sio::Korrigiere_Totzeiten();
    EXPECT_EQ(Sio::IR_Messwerte[3], 80);
    EXPECT_EQ(Sio::IR_Fehlertext, "Impuls zu kurz ");
}

TEST_F(IrAnalyse, FramesOfAHeldKey) {
    setCapture(frames(3, 4));
    ASSERT_EQ(Sio::IR_Burstende, 203);
    Sio::Bestimme_Min_Max();
    EXPECT_EQ(Sio::kuerzester_Impuls, 560);
    EXPECT_EQ(Sio::laengster_Impuls, 9000);
    EXPECT_EQ(Sio::kuerzeste_Pause, 560);
    EXPECT_EQ(Sio::laengste_Pause, 40000);
    Sio::Suche_Wiederholung_und_Korrigiere_Messwerte();
    EXPECT_EQ(Sio::IR_Fehlertext, "");
    EXPECT_EQ(Sio::Anzahl_Befehlspausen, 2);
    EXPECT_EQ(Sio::Anzahl_Wiederholungen, 3);
    EXPECT_EQ(Sio::Last_correct_Bit, 67);
    EXPECT_TRUE(traced("Zeit_zwischen_Befehlen   28680  "));
    EXPECT_TRUE(traced("Anzahl_Befehlspausen  2   bei  136   ( 136  )"));
    EXPECT_TRUE(traced("IR_Burstende  203   ( 203  )"));
    // The first frame took the largest value of each entry.
    EXPECT_EQ(Sio::IR_Messwerte[3], 580);
    EXPECT_EQ(Sio::IR_Messwerte[5], 560);

    // One frame: no split point, so the frame test fails.
    memo.lines = {""};
    setCapture(frames(1));
    Sio::Bestimme_Min_Max();
    Sio::Suche_Wiederholung_und_Korrigiere_Messwerte();
    EXPECT_EQ(Sio::Anzahl_Wiederholungen, 0);
    EXPECT_EQ(Sio::IR_Fehlertext, "*Wiederhlg teilweise*");
    EXPECT_TRUE(traced("dec (Anzahl_Wiederholungen)"));

    // A split point not at a multiple of the first.
    Sio::IR_Fehlertext.clear();
    auto d = frames(3);
    d.erase(d.begin() + 70, d.begin() + 72); // second frame two shorter
    setCapture(d);
    Sio::Bestimme_Min_Max();
    Sio::Suche_Wiederholung_und_Korrigiere_Messwerte();
    EXPECT_EQ(Sio::IR_Fehlertext, " * Aufsetzpunkt falsch**Wiederhlg teilweise*");
    EXPECT_TRUE(traced("Falscher_Aufsetzpunkt"));

    // A 21st split point ends the analysis with a range error.
    std::vector<std::int64_t> many;
    for (int i = 0; i < 21; ++i)
        many.insert(many.end(), {500, 500, 500, 50000});
    many.push_back(500);
    setCapture(many);
    Sio::Bestimme_Min_Max();
    EXPECT_THROW(Sio::Suche_Wiederholung_und_Korrigiere_Messwerte(), ERangeError);
}

TEST_F(IrAnalyse, BitPuzzle) {
    // The bit times come from entries 1 to 4 only: a bit length of 500.
    // 1.5 lengths give 2 bits, 0.5 and 0.49 none; 17.9 lengths are
    // converted, 18 end the frame.
    Sio::Last_correct_Bit = 4;
    setCapture({500, 500, 500, 500, 750, 245, 500, 250, 500, 8950, 500, 9000, 500});
    Sio::TBytetabelle b{};
    std::int32_t ende = 0;
    Sio::Puzzle_Bits_Auseinander(1, ende, b);
    EXPECT_EQ(Sio::AN_Bit_Zeit, 500);
    EXPECT_EQ(Sio::AUS_Bit_Zeit, 500);
    EXPECT_EQ(ende, 11);
    // 1 0 1 0 11 - 1 - 1 0x18 1
    EXPECT_EQ(Sio::Bytes_nach_Hextext(b), "AF 00 00 20 ");
    EXPECT_TRUE(traced("Ende des Befehls bei :  11  "));
    EXPECT_TRUE(traced("Mittlere_Bit_Laenge  500  "));

    // Only 297 durations of a frame reach its bits.
    Sio::Last_correct_Bit = 4;
    setCapture(std::vector<std::int64_t>(801, 500));
    Sio::Puzzle_Bits_Auseinander(1, ende, b);
    EXPECT_EQ(ende, 801);
    auto bytes = [&] {
        int n = 0;
        while (b[static_cast<std::size_t>(n) + 1] >= 0)
            ++n;
        return n;
    };
    EXPECT_EQ(bytes(), 38); // 297 bits

    // More than 792 bits: 99 bytes, the rest added into the last one.
    std::vector<std::int64_t> d{500, 500, 500, 500};
    for (int i = 0; i < 200; ++i)
        d.insert(d.end(), {500, 2500});
    d.push_back(500);
    Sio::Last_correct_Bit = 4;
    setCapture(d);
    Sio::Puzzle_Bits_Auseinander(1, ende, b);
    EXPECT_EQ(bytes(), 99);
    EXPECT_EQ(b[100], -1);
}

TEST_F(IrAnalyse, BitMeansAndHexText) {
    setCapture({700, 700, 700, 700, 700});
    EXPECT_EQ(Sio::Bit_Mittel(1, 5), 700);
    setCapture({2, 2, 2});
    EXPECT_EQ(Sio::Bit_Mittel(1, 3), 2);
    // Entry f is always taken, also beyond the last index.
    setCapture({900, 100, 600});
    EXPECT_EQ(Sio::Bit_Mittel(3, 1), 600);
    setCapture({});
    EXPECT_EQ(Sio::Bit_Mittel(1, 5), 1);

    Sio::TBytetabelle t{};
    t[1] = 0x0A;
    t[2] = 0x1FF; // low 8 bits
    t[3] = -1;
    EXPECT_EQ(Sio::Bytes_nach_Hextext(t), "0A FF ");
    t.fill(5);
    EXPECT_THROW(Sio::Bytes_nach_Hextext(t), ERangeError);
}
