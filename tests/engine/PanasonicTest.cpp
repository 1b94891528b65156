// The Panasonic line on the register fake: run tables, decoding, the line
// values of a command and the send's shortcut and bounds.

#include "engine/Panasonic.h"
#include "engine/EditLine.h"
#include "support/EngineFixture.h"

#include <array>
#include <vector>

namespace {

constexpr std::uint16_t kLCR = 0x3FB;
constexpr std::uint16_t kMSR = 0x3FE;

// Run tables of one read: a partial run, then per frame seven bytes of 16 runs
// (the first long), CTS high on 4 polls of the second run of a 0 bit, none of
// a 1 bit, and the pause; then the end mark.
void lege_Laeufe(const std::vector<std::array<std::uint8_t, 8>>& frames) {
    std::size_t i = 0;
    Sio::Pana_Laufzeit[i] = 7;
    Sio::Pana_CTS[i++] = 0;
    for (const auto& f : frames) {
        for (int k = 1; k <= 7; ++k)
            for (int r = 0; r < 16; ++r, ++i) {
                Sio::Pana_Laufzeit[i] = r == 0 ? 20 : 10;
                const int bit = 7 - r / 2;
                Sio::Pana_CTS[i] = (r % 2 == 1 && ((f[k] >> bit) & 1) == 0) ? 4 : 0;
            }
        Sio::Pana_Laufzeit[i] = 300;
        Sio::Pana_CTS[i++] = 0;
    }
    Sio::Pana_Laufzeit[i] = -1;
}

} // namespace

class Panasonic : public EngineFixture {
protected:
    Panasonic() {
        Sio::Pana_Mittel = 12;
        Sio::Pana_Schwelle = 100;
        Sio::UART_Init_9600();
        ports.clearLog();
    }
    std::string letzteZeile() const { return memo.lines.at(memo.lines.size() - 2); }
};

TEST_F(Panasonic, DecodesStatusAndBothCounterKinds) {
    lege_Laeufe({{0, 0x5A, 0xA5, 0x5A, 0x08, 0x23, 0x45, 0x12}});
    Sio::Pana_Position.Halbbilder = 30;
    Sio::Pana_Dekodieren();
    EXPECT_EQ(Sio::Pana_Bytes[1], 0x5A);
    EXPECT_EQ(Sio::Pana_Bytes[3], 0x5A);
    EXPECT_EQ(Sio::Pana_Status, 8);
    EXPECT_EQ(Sio::Pana_Statustext, ">  08");
    EXPECT_EQ(Sio::Position_nach_Text(Sio::Pana_Position), " 3:45:12.00");
    EXPECT_FALSE(Sio::Pana_Bilder_gesehen);

    // Kind 11 carries the units digit of the minutes: the tens stay.
    lege_Laeufe({{0, 0, 0, 0, 0x19, 0x64, 0x59, 0x24}});
    Sio::Pana_Dekodieren();
    EXPECT_EQ(Sio::Pana_Statustext, "II 19");
    EXPECT_EQ(Sio::Pana_Position.Minuten, 44);
    EXPECT_EQ(Sio::Pana_Position.Sekunden, 59);
    EXPECT_EQ(Sio::Pana_Position.Halbbilder, 48);
    EXPECT_TRUE(Sio::Pana_Bilder_gesehen);
    Sio::Pana_Position = Sio::Bandposition{};
    Sio::Pana_Dekodieren();
    EXPECT_EQ(Sio::Pana_Position.Minuten, 4);

    // Once frames were seen, an hours frame keeps them.
    lege_Laeufe({{0, 0, 0, 0, 0x00, 0x21, 0x02, 0x03}});
    Sio::Pana_Dekodieren();
    EXPECT_EQ(Sio::Position_nach_Text(Sio::Pana_Position), " 1:02:03.24");

    // The sign whatever the kind; a later frame in the read wins.
    lege_Laeufe({{0, 0, 0, 0, 0x03, 0x10, 0x00, 0x00}, {0, 0, 0, 0, 0x02, 0x31, 0, 0}});
    Sio::Pana_Dekodieren();
    EXPECT_EQ(Sio::Pana_Status, 2);
    EXPECT_EQ(Sio::Pana_Position.Vorzeichen, '-');
    EXPECT_EQ(Sio::Position_nach_Text(Sio::Pana_Position), "-1:00:00.24");
}

TEST_F(Panasonic, ShortReadLeavesNoOldFrame) {
    lege_Laeufe({{0, 0, 0, 0, 0x08, 0x23, 0x45, 0x12}});
    // A read of 40 runs, then no edge for longer than the limit.
    int n = 0;
    ports.setReader(kMSR, [&n] { return std::uint8_t(++n <= 400 && n % 10 == 0 ? 0x02 : 0x00); });
    ports.setLogReads(false);
    Sio::Pana_Lesen();
    EXPECT_EQ(Sio::Pana_Laufzeit[40], Sio::Pana_Schwelle + 1);
    EXPECT_EQ(Sio::Pana_Laufzeit[41], -1);
    Sio::Pana_Status = 0x33;
    Sio::Pana_Dekodieren();
    EXPECT_EQ(Sio::Pana_Status, 0x33);
}

TEST_F(Panasonic, RunsAndCtsCountsOfARead) {
    // Edges every 5 polls; CTS high on the polls 3 and 4 of the third run.
    int n = 0;
    ports.setReader(kMSR, [&n]() -> std::uint8_t {
        ++n;
        std::uint8_t v = n % 5 == 0 ? 0x02 : 0x00;
        if (n == 13 || n == 14) v |= 0x10;
        return v;
    });
    Sio::Pana_Laufzeiten_lesen(3, 100);
    EXPECT_EQ(Sio::Pana_Laufzeit[0], 4);
    EXPECT_EQ(Sio::Pana_Laufzeit[1], 4);
    EXPECT_EQ(Sio::Pana_Laufzeit[2], 4);
    EXPECT_EQ(Sio::Pana_Laufzeit[3], 0);
    EXPECT_EQ(Sio::Pana_Laufzeit[4], -1);
    EXPECT_EQ(Sio::Pana_CTS[2], 2);

    // A read for more runs than the table holds stops at its end.
    ports.setReader(kMSR, [] { return std::uint8_t{0x02}; });
    EXPECT_NO_THROW(Sio::Pana_Laufzeiten_lesen(500, 10));
    EXPECT_EQ(Sio::Pana_Laufzeit[450], -1);
}

TEST_F(Panasonic, LineValuesOfACode) {
    const auto v = Sio::Pana_Leitungswerte(10);
    const std::uint8_t erwartet[8] = {0x40, 0x40, 0x40, 0x40, 0x00, 0x40, 0x00, 0x40};
    for (int b = 7; b >= 0; --b)
        EXPECT_EQ(v[static_cast<std::size_t>(b)], erwartet[7 - b]) << "bit " << b;
}

TEST_F(Panasonic, SendShortcutAndMissedClock) {
    Sio::Pana_Status = 0x08;
    ports.setDefault(kMSR, 0x00);
    ports.setLogReads(false);
    EXPECT_EQ(Sio::Pana_Send(10, 8, 90), 0);
    EXPECT_EQ(letzteZeile(),
              "Pana_Send Befehl : $0A # Versuche :  0   Status vorher/hinterher $08/$08");
    EXPECT_EQ(memo.lines.size(), 4u) << "only the summary line";
    // The UART goes to 115200 baud, 5 data bits; no break is ever written.
    EXPECT_EQ(ports.writes().at(1).second, 1);
    for (const auto& [port, value] : ports.writes())
        EXPECT_FALSE(port == kLCR && (value & 0x40)) << int(value);

    // No clock: every try ends at a missed edge after about 1/10 s; TXD is
    // left idle.
    ports.clearLog();
    const auto vorher = clock.nowPs();
    EXPECT_EQ(Sio::Pana_Send(0, 0x0A, 4), 5);
    EXPECT_NEAR(static_cast<double>(clock.nowPs() - vorher) / 1e12, 5 * 0.1, 0.01);
    EXPECT_EQ(ports.writes().back(), (std::pair<std::uint16_t, std::uint8_t>{kLCR, 3}));
    EXPECT_EQ(letzteZeile(),
              "Pana_Send Befehl : $00 # Versuche :  5   Status vorher/hinterher $08/$08");

    // Forced send: goes out even in the expected state.
    ports.clearLog();
    EXPECT_EQ(Sio::Pana_Send(13, 8, 4, true), 1);
}
