// The Control-L line on the register fake: send characters, delays, the line
// fit, reception, decoding and the send's bounds.

#include "engine/ControlL.h"
#include "engine/EditLine.h"
#include "engine/SioText.h"
#include "support/EngineFixture.h"

#include <array>
#include <vector>

namespace {

constexpr std::uint16_t kDaten = 0x3F8;
constexpr std::uint16_t kLSR = 0x3FD;
constexpr std::uint16_t kMSR = 0x3FE;

// Fills the receive tables as a read would: entry 0 = 0, then the bytes with
// their poll counts, the first byte of every frame after the first with a long
// wait, and a last stale byte that timed out.
void lege_Frames(const std::vector<std::array<std::uint8_t, 8>>& frames, std::int32_t schwelle) {
    Sio::Sony_Bytes.fill(0);
    Sio::Sony_Abfragen.fill(0);
    std::size_t j = 1;
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (std::size_t b = 0; b < 8; ++b, ++j) {
            Sio::Sony_Bytes[j] = frames[f][b];
            Sio::Sony_Abfragen[j] = (b == 0 && f > 0) ? schwelle * 2 : 700;
        }
    Sio::Sony_Bytes[j] = 0x33;
    Sio::Sony_Abfragen[j] = schwelle + 1;
    Sio::Sony_Abfragen[j + 1] = -1;
}

std::uint8_t bcd(std::int32_t n) {
    return static_cast<std::uint8_t>((n / 10 % 10) << 4 | (n % 10));
}

// The frame a deck sends at a count: kind 4 (hours, sign, frames) or kind 3
// (seconds, minutes).
std::array<std::uint8_t, 8> frame_bei(std::int32_t zaehler, bool art4, std::uint8_t status) {
    const std::int32_t a = std::abs(zaehler);
    if (art4)
        return {0,
                0,
                0,
                0,
                status,
                0x40,
                bcd(a / (50 * 3600)),
                static_cast<std::uint8_t>((zaehler < 0 ? 0x80 : 0) | bcd(a % 50 / 2))};
    return {0, 0, 0, 0, status, 0x30, bcd(a / 50 % 60), bcd(a / (50 * 60) % 60)};
}

} // namespace

class ControlL : public EngineFixture {
protected:
    ControlL() {
        Sio::UART_Init_9600();
        ports.clearLog();
    }
    std::string letzteZeile() const { return memo.lines.at(memo.lines.size() - 2); }
};

TEST_F(ControlL, SendCharactersAndDelays) {
    const auto z24 = Sio::Sony_Sendebyte(24);
    EXPECT_EQ(z24.p, 4);
    EXPECT_EQ(z24.Zeichen, 0xFE);
    const auto z52 = Sio::Sony_Sendebyte(52);
    EXPECT_EQ(z52.p, 3);
    EXPECT_EQ(z52.Zeichen, 0xF9);
    const auto z0 = Sio::Sony_Sendebyte(0);
    EXPECT_EQ(z0.p, 0);
    EXPECT_EQ(z0.Zeichen, 0xFF);
    EXPECT_EQ(Sio::Sony_Sendebyte(128).p, 8);
    EXPECT_EQ(Sio::Sony_Sendebyte(128).Zeichen, 0xFF);

    Sio::Sony1 = 100;
    Sio::Sony2 = 150;
    for (int n = 0; n <= 8; ++n)
        EXPECT_EQ(Sio::Sony_Verzoegerung(n), 50 + 50 * n) << n;
    EXPECT_THROW(Sio::Sony_Verzoegerung(11), ERangeError);
    EXPECT_THROW(Sio::Sony_Verzoegerung(-1), ERangeError);
}

TEST_F(ControlL, LineFit) {
    std::array<std::int32_t, 11> t{};
    t[3] = 77;
    Sio::Ausgleichsgerade(t, 3, 3, 8); // one point: slope 1, intercept 1
    for (int i = 0; i <= 8; ++i)
        EXPECT_EQ(t[i], 1 + i);
    EXPECT_EQ(t[9], 0);

    // Least squares through four points, halves to the even integer.
    t = {0, 10, 21, 30, 41};
    Sio::Ausgleichsgerade(t, 1, 4, 8);
    // slope 10.2, intercept 0.0
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 10);
    EXPECT_EQ(t[5], 51);
    EXPECT_EQ(t[8], 82);

    t = {0, 1, 2000000000};
    EXPECT_THROW(Sio::Ausgleichsgerade(t, 1, 2, 8), ERangeError);
}

TEST_F(ControlL, ReceptionEndsAtTheFirstLongWait) {
    // Nothing arrives: one stale byte with L + 1 polls and the end mark.
    ports.setDefault(kLSR, 0x00);
    ports.setDefault(kDaten, 0x5A);
    EXPECT_EQ(Sio::Sony_Empfang(20, 10), 1);
    EXPECT_EQ(Sio::Sony_Bytes[1], 0xA5);
    EXPECT_EQ(Sio::Sony_Abfragen[1], 11);
    EXPECT_EQ(Sio::Sony_Bytes[2], 0);
    EXPECT_EQ(Sio::Sony_Abfragen[2], -1);

    // Bytes after 2, 0 and 3 polls, then a wait of the limit.
    ports.queueRead(kLSR, {0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
    ports.queueRead(kDaten, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(Sio::Sony_Empfang(20, 5), 4);
    EXPECT_EQ(
        (std::vector<int>{Sio::Sony_Abfragen[0], Sio::Sony_Abfragen[1], Sio::Sony_Abfragen[2],
                          Sio::Sony_Abfragen[3], Sio::Sony_Abfragen[4], Sio::Sony_Abfragen[5]}),
        (std::vector<int>{0, 2, 0, 3, 6, -1}));
    EXPECT_EQ(Sio::Sony_Bytes[3], 0xFC);

    // The count limit.
    ports.setDefault(kLSR, 0x01);
    EXPECT_EQ(Sio::Sony_Empfang(20, 5), 20);
    EXPECT_EQ(Sio::Sony_Abfragen[21], -1);
}

TEST_F(ControlL, DecodesStatusAndCounterKinds) {
    // Kind 2: seconds 45 + 3 hundreds.
    Sio::Sony_Schwelle = 1000;
    lege_Frames({{0, 0, 0, 0, 6, 0x20, 0x45, 3}}, 1000);
    Sio::Sony_Dekodieren();
    EXPECT_EQ(Sio::Sony_Status, 6);
    EXPECT_EQ(Sio::Sony_Statustext, ">   06");
    EXPECT_EQ(Sio::Sony_Position.Sekunden, 345);

    // Kind 3 then kind 4 in one read build the whole position.
    Sio::Sony_Position = Sio::Bandposition{};
    lege_Frames({{0, 0, 0, 0, 7, 0x30, 0x59, 0x12}, {0, 0, 0, 0, 20, 0x41, 0x02, 0x80 | 0x24}},
                1000);
    Sio::Sony_Dekodieren();
    EXPECT_EQ(Sio::Sony_Status, 20);
    EXPECT_EQ(Sio::Sony_Statustext, "II  14");
    EXPECT_EQ(Sio::Position_nach_Text(Sio::Sony_Position), "-2:12:59.24");
    EXPECT_EQ(Sio::Sony_Position.Halbbilder, 48);

    // Other kinds touch no field; a frame too early in the read is no frame.
    lege_Frames({{0, 0, 0, 0, 131, 0x50, 0x11, 0x11}}, 1000);
    Sio::Sony_Dekodieren();
    EXPECT_EQ(Sio::Sony_Statustext, "<<  83");
    EXPECT_EQ(Sio::Position_nach_Text(Sio::Sony_Position), "-2:12:59.24");
    Sio::Sony_Abfragen = {};
    Sio::Sony_Abfragen[5] = 5000; // i = 5: not a frame start
    Sio::Sony_Abfragen[6] = -1;
    Sio::Sony_Bytes[1] = 3;
    Sio::Sony_Dekodieren();
    EXPECT_EQ(Sio::Sony_Status, 131);
}

TEST_F(ControlL, SendShortcutsAndPreconditions) {
    Sio::Sony_Schwelle = 100;
    Sio::Sony_Status = 6;
    EXPECT_EQ(Sio::CTL_send(24, 52, 6, 90), 0);
    EXPECT_TRUE(ports.log().empty());
    EXPECT_EQ(letzteZeile(),
              "CTL_send Befehl : $34 # Versuche :  0   Status vorher/hinterher $06/$06");
    EXPECT_EQ(memo.lines.size(), 4u) << "only the summary line";

    // No threshold, no address or no command: nothing is sent.
    Sio::Sony_Schwelle = 0;
    EXPECT_EQ(Sio::CTL_send(24, 52, 2, 90), 0);
    Sio::Sony_Schwelle = 100;
    EXPECT_EQ(Sio::CTL_send(0, 52, 2, 90), 0);
    EXPECT_EQ(Sio::CTL_send(24, 0, 2, 90), 0);
    EXPECT_TRUE(ports.log().empty());
}

TEST_F(ControlL, SendBaseDoesNotOverflowOnAFastPc) {
    // 3 million turns a millisecond: 3e6 x 930 is beyond 32 bits.
    Sio::Drehg_mSec = 3000000;
    clock.costs().loopTurnsPerMs = 3000000;
    Sio::Sony_Schwelle = 100;
    Sio::Sony_Status = 2;
    ports.setDefault(kMSR, 0x01); // a bus edge at every read
    ports.setDefault(kLSR, 0x01);
    ports.setDefault(kDaten, 0xFF);
    EXPECT_EQ(Sio::CTL_send(24, 52, 6, 1), 1);
    // From the address character to the next modem-status read: 0.93 ms.
    const auto& log = ports.log();
    std::size_t k = 0;
    while (k < log.size() && !(log[k].write && log[k].port == kDaten))
        ++k;
    ASSERT_LT(k, log.size());
    EXPECT_EQ(log[k].value, 0xFE);
    std::size_t m = k + 1;
    while (m < log.size() && !(!log[m].write && log[m].port == kMSR))
        ++m;
    ASSERT_LT(m, log.size());
    const double ms = static_cast<double>(log[m].ps - log[k].ps) / 1e9;
    EXPECT_NEAR(ms, 0.93, 0.01);
}

TEST_F(ControlL, MissedBusEdgesFailTheTriesInBoundedTime) {
    Sio::Sony_Schwelle = 100;
    Sio::Sony_Status = 2;
    Sio::Sony1 = 9900;
    Sio::Sony2 = 19800;
    ports.setDefault(kMSR, 0x00); // no edge ever
    ports.setDefault(kLSR, 0x01);
    ports.setDefault(kDaten, 0xFF);
    ports.setLogReads(false);
    const auto vorher = clock.nowPs();
    EXPECT_EQ(Sio::CTL_send(24, 52, 6, 3), 3);
    const double s = static_cast<double>(clock.nowPs() - vorher) / 1e12;
    EXPECT_NEAR(s, 3 * 0.1, 0.01);
    EXPECT_TRUE(ports.writes().empty());
    const auto& z = memo.lines;
    EXPECT_EQ(z[z.size() - 5], "Max. Anzahl Versuche  3   ueberschritten,  Sony_Schwelle  100  ");
    EXPECT_EQ(z[z.size() - 2],
              "CTL_send Befehl : $34 # Versuche :  3   Status vorher/hinterher $02/$02");

    // The probe without edge or echo gives no class.
    ports.setDefault(kLSR, 0x00);
    Sio::Anfragen_Sec = 1000;
    EXPECT_EQ(Sio::CTL_Probe(10), 0);
    ports.setDefault(kMSR, 0x01);
    EXPECT_EQ(Sio::CTL_Probe(10), 0);
    EXPECT_EQ(ports.writes().back().second, 0x55);
}

// While a deck winds, a frame of seconds and minutes and one of hours and
// frames alternate, half a second apart: across an hour mark the two come
// from either side of it, and below zero the count's magnitude runs against
// the winding direction. No frame may leave the position a second off, let
// alone an hour.
TEST_F(ControlL, WindingFramesAcrossHourMarksAndBelowZero) {
    Sio::Sony_Schwelle = 1000;
    struct Lauf {
        std::int32_t von;
        std::int32_t schritt; // units a field
    };
    std::vector<Lauf> laeufe;
    for (const std::int32_t stunde : {50 * 3600, 2 * 50 * 3600}) {
        laeufe.push_back({stunde, 25});
        laeufe.push_back({stunde, -25});
    }
    laeufe.push_back({-50 * 600, 25});  // towards zero
    laeufe.push_back({-50 * 600, -25}); // away from zero
    for (const Lauf& l : laeufe) {
        for (std::int32_t phase = 0; phase < 50; phase += 3) {
            for (const bool art4_zuerst : {false, true}) {
                // The sign as a read before left it.
                Sio::Sony_Position = Sio::Bandposition{};
                Sio::Sony_Position.Vorzeichen = l.von < 0 ? '-' : ' ';
                Sio::Sony_Letzter_Rahmen = {};
                const std::uint8_t status = l.schritt > 0 ? 3 : 131;
                for (int k = 0; k < 16; ++k) {
                    const std::int32_t zaehler = l.von + l.schritt * (k - 8) + phase;
                    lege_Frames({frame_bei(zaehler, (k % 2 == 0) == art4_zuerst, status)}, 1000);
                    Sio::Sony_Dekodieren();
                    if (k < 2) continue; // a whole position takes both kinds
                    EXPECT_LT(std::abs(Sio::Position_nach_Zaehler(Sio::Sony_Position) - zaehler),
                              40)
                        << "from " << l.von << " by " << l.schritt << " field " << k << ": read "
                        << Sio::Position_nach_Text(Sio::Sony_Position) << " deck "
                        << Sio::Zaehler_nach_Text(zaehler);
                }
            }
        }
    }
}
