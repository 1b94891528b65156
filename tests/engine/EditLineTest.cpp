// The edit-device layer on the register fake: symbols, BCD, detection counts
// and the layer's early returns.

#include "engine/EditLine.h"
#include "engine/ControlL.h"
#include "support/EngineFixture.h"

#include <vector>

namespace {
constexpr std::uint16_t kMSR = 0x3FE;
}

class EditLine : public EngineFixture {
protected:
    EditLine() {
        Sio::UART_Init_9600();
        ports.clearLog();
    }
    // Detection over reads where c of them carry delta-CTS and d delta-DSR.
    Sio::Protokoll erkenne(int c, int d) {
        int n = 0;
        ports.setReader(kMSR, [&n, c, d]() -> std::uint8_t {
            const int k = n++;
            return static_cast<std::uint8_t>((k < c ? 0x01 : 0) |
                                             (k >= 100 && k < 100 + d ? 0x02 : 0));
        });
        return Sio::Erkenne_Protokoll();
    }
};

TEST_F(EditLine, SymbolsAndBcd) {
    const std::pair<int, const char*> sony[] = {{3, ">>"},   {4, "* "},   {6, "> "},   {7, "II"},
                                                {20, "II"},  {103, "+ "}, {119, "- "}, {131, "<<"},
                                                {151, "I<"}, {2, "  "},   {0, "  "},   {134, "  "}};
    for (auto [s, t] : sony)
        EXPECT_EQ(Sio::Sony_Symbol(static_cast<std::uint8_t>(s)), t) << s;
    const std::pair<int, const char*> pana[] = {{0, "  "},  {2, "<<"}, {3, ">>"},
                                                {8, "> "},  {9, "II"}, {11, "II"},
                                                {10, "* "}, {1, "  "}, {15, "  "}};
    for (auto [s, t] : pana)
        EXPECT_EQ(Sio::Pana_Symbol(static_cast<std::uint8_t>(s)), t) << s;
    EXPECT_EQ(Sio::BCD_nach_Zahl(0x59), 59);
    EXPECT_EQ(Sio::BCD_nach_Zahl(0x00), 0);
    EXPECT_EQ(Sio::BCD_nach_Zahl(0x1F), 25);
    EXPECT_EQ(Sio::BCD_nach_Zahl(0xFF), 165);
}

TEST_F(EditLine, DetectionCounts) {
    EXPECT_EQ(erkenne(6, 5), Sio::Protokoll::Keins);
    EXPECT_EQ(erkenne(10, 10), Sio::Protokoll::Keins);
    EXPECT_EQ(erkenne(6, 7), Sio::Protokoll::Panasonic);
    EXPECT_EQ(erkenne(7, 0), Sio::Protokoll::Sony);
    EXPECT_EQ(erkenne(6, 4), Sio::Protokoll::Sony);
    EXPECT_EQ(erkenne(5, 0), Sio::Protokoll::Keins);
    // n = Anfragen_Sec div 20 reads; none below 20.
    ports.clearLog();
    ports.setLogReads(true);
    erkenne(0, 0);
    EXPECT_EQ(ports.log().size(), 35000u);
    ports.clearLog();
    Sio::Anfragen_Sec = 19;
    EXPECT_EQ(erkenne(0, 0), Sio::Protokoll::Keins);
    EXPECT_TRUE(ports.log().empty());
}

TEST_F(EditLine, NothingOnTheLine) {
    ports.setDefault(kMSR, 0x00);
    ports.setLogReads(false);
    EXPECT_EQ(Sio::Kamera_Befehl(0, Sio::Transport::Play), -1);
    EXPECT_EQ(Sio::Kamera_Befehl(4, Sio::Transport::Play), -1);
    EXPECT_TRUE(ports.writes().empty());
    EXPECT_EQ(Sio::Kamera_Befehl(2, Sio::Transport::Play), -1);
    EXPECT_EQ(ports.writes(), (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x3FC, 2}}));

    Sio::Bandposition p;
    p.Minuten = 3;
    Sio::Protokoll proto = Sio::Protokoll::Sony;
    std::string text;
    bool spielt = true;
    Sio::Lies_Geraetestatus(5, p, proto, text, spielt);
    EXPECT_EQ(text, "??");
    EXPECT_EQ(proto, Sio::Protokoll::Keins);
    EXPECT_FALSE(spielt);
    EXPECT_EQ(p.Minuten, 3);
    EXPECT_EQ(ports.reads(kMSR), 35000) << "channel 5 is not read";

    // A position wait on a silent line returns after the detection.
    const auto vorher = clock.nowPs();
    Sio::Warte_auf_Position(1, 103);
    EXPECT_NEAR(static_cast<double>(clock.nowPs() - vorher) / 1e9, 50.0, 0.1);
    // Without a unit rate there is nothing to count in.
    Sio::Halbbilder_pro_Sekunde = 0;
    EXPECT_NO_THROW(Sio::Warte_auf_Position(1, 103));
}

// A count-off counts one unit a read, as each read ends at the pause after
// its frame. Reads that come quicker (frames the receiver held while the
// process was away, read at once) count no further than the fields gone by:
// the wait never ends before its time.
TEST_F(EditLine, CountOffEndsNoSoonerThanItsFields) {
    static platform::VirtualClock* uhr = nullptr;
    static Sio::Bandposition stand;
    static int lesungen = 0;
    uhr = &clock;
    lesungen = 0;
    stand = {};
    stand.Sekunden = 30;
    // The first read finds the second, each later one comes 5 ms after it.
    const Sio::Wartelinie linie{
        [] { uhr->advanceUs(lesungen++ == 0 ? 20000 : 5000); }, 1000000, [] { return 1; },
        []() -> const Sio::Bandposition& { return stand; }, [] { return 0; }};
    const std::int64_t beginn = clock.performanceCounter();
    EXPECT_TRUE(Sio::Warte_mit(linie, 30 * 50, 20));
    const std::int64_t feld = platform::Clock::kCounterFrequency / 50;
    EXPECT_GE(clock.performanceCounter() - beginn, 21 * feld - feld / 2);
    EXPECT_LE(clock.performanceCounter() - beginn, 22 * feld);
}
