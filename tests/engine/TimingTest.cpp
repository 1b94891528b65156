// Timing calibration: the arithmetic of one pass on a register fake, and the
// whole measurement on the simulated adapter, which must recover the rates of
// the simulated PC.

#include "engine/Timing.h"
#include "support/EngineFixture.h"
#include "support/SimFixture.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

platform::VirtualClock::Costs pc(std::int64_t turnsPerMs, std::int64_t readsPerSecond) {
    platform::VirtualClock::Costs c;
    c.loopTurnsPerMs = turnsPerMs;
    c.portAccessesPerSecond = readsPerSecond;
    return c;
}

::testing::AssertionResult within(std::int64_t value, std::int64_t target, double fraction) {
    if (std::llabs(value - target) <= static_cast<std::int64_t>(target * fraction))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << value << " is not within " << fraction * 100 << " % of " << target;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(TimingArithmetic, DrehzahlAusMessung) {
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(700000, 700000, 0), 35000);
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(0, 0, 0), 100);
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(700000, 600000, 100), 672);
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(700000, 710000, 100), 100);
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(700000, 0, 100), 100);
    // (a - b) × 1000000 no longer fits 32 bits on a fast machine.
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(3000000, 2900000, 3000), 86400);
    EXPECT_EQ(Sio::Drehzahl_aus_Messung(30000000, 20000000, 1000000), 2880000);
}

class TimingPass : public EngineFixture {};

TEST_F(TimingPass, EveryCharacterTimeHeld500Polls) {
    int busy = 0;
    ports.setLogReads(false);
    ports.setReader(0x3FD, [&]() -> std::uint8_t {
        if (busy < 500) {
            ++busy;
            return 0;
        }
        busy = 0;
        return 0x20;
    });
    std::int32_t rps = 0, count = 0;
    Sio::Zeichenzeit_messen(0, rps, count);
    EXPECT_EQ(rps, 480960);
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(Sio::IR_Messwerte[10], 500);
    EXPECT_EQ(Sio::IR_Messwerte[11], 501) << "entries 11 to 1010 counted up";
    EXPECT_EQ(Sio::IR_Messwerte[1010], 501);
    EXPECT_EQ(Sio::IR_Messwerte[1011], 500);
    std::string cells;
    for (int i = 0; i < 26; ++i)
        cells += " 500  ";
    EXPECT_TRUE(hasLine(memo.lines, cells));
    EXPECT_TRUE(
        hasLine(memo.lines, "Zaehler pro ms maximal  501    Bandbreite  51    R_schwelle  450  "));
    EXPECT_TRUE(hasLine(memo.lines,
                        "Ml_Verzoegerungswert, Giga_Summe, Giga_Zaehler   0   501000   1000  "));
    EXPECT_TRUE(hasLine(memo.lines, "1000 Zeichen entspr 1.042 s :  501000  "));
    // 1021 characters of 0xFF after the 9600-baud set-up.
    int chars = 0;
    for (const auto& [port, value] : ports.writes())
        chars += port == 0x3F8 && value == 0xFF;
    EXPECT_EQ(chars, 1021);
}

class Calibration : public SimFixture {
protected:
    explicit Calibration(platform::VirtualClock::Costs c = pc(95000, 700000)) : SimFixture(c) {}
    std::int32_t passes = -1, deviation = -1, quota = -1;
    std::string error = "x";
};

TEST_F(Calibration, RecoversTheDefaultPcWithItsProtocol) {
    Sio::Drehg_mSec = 1;
    Sio::Anfragen_Sec = 1;
    const auto result = Sio::Bestimme_Drehzahl(passes, deviation, quota, error);
    EXPECT_EQ(result, 30);
    EXPECT_EQ(passes, 30);
    EXPECT_EQ(error, "");
    EXPECT_EQ(quota, 1000);
    EXPECT_LE(deviation, 10);
    EXPECT_TRUE(within(Sio::Drehg_mSec, 95000, 0.02));
    EXPECT_TRUE(within(Sio::Anfragen_Sec, 700000, 0.02));

    const auto& l = memo.lines;
    EXPECT_TRUE(hasLine(l, "*** Bestimme_Drehzahl ***, Port Basis :  1016  "));
    EXPECT_TRUE(hasLine(l, "Anzahl Iterationen :  30  "));
    const auto header = std::find(l.begin(), l.end(), "Nr.  Ergebn.  uSek   Vorg  Quote  Drehg. ");
    ASSERT_NE(header, l.end());
    ASSERT_GE(l.end() - header, 37);
    // Row 0 carries pass 1's rate and hit count; uSek of row 0 is 1000.
    EXPECT_EQ(
        header[1].rfind(" 0   " + std::to_string(Sio::Anfragen_Sec) + "   1000   0   1000  ", 0),
        0u)
        << header[1];
    EXPECT_EQ(header[31].rfind(" 30  ", 0), 0u);
    EXPECT_EQ(header[32].rfind("Vorgabe 1 : ", 0), 0u);
    EXPECT_EQ(header[33], "Soviel Umdrhg in Raw pro ms, im Mittel (=Drehg_msec):  " +
                              std::to_string(Sio::Drehg_mSec) + "  ");
    EXPECT_EQ(header[34], "Mittlere Abweichung :  " + std::to_string(deviation) + "  ");
    EXPECT_EQ(header[35], "Mittlere Quote :  1000  ");
    EXPECT_EQ(header[36],
              "Anfragen / sec (Anfragen_Sec)  " + std::to_string(Sio::Anfragen_Sec) + "  ");
}

TEST_F(Calibration, TransmitterNotEmptyOrAbsent) {
    Sio::Drehg_mSec = 1234;
    Sio::Anfragen_Sec = 5678;
    // A stuck transmitter: " *COM ? ", nothing measured.
    sim.setFault(sim::Fault::TransmitterStuckBusy);
    EXPECT_EQ(Sio::Bestimme_Drehzahl(passes, deviation, quota, error), -1);
    EXPECT_EQ(error, " *COM ? ");
    EXPECT_EQ(memo.lines[memo.lines.size() - 2], " *COM ? ");
    EXPECT_EQ(sim.uart.stats().txChars, 0u);
    sim.setFault(sim::Fault::TransmitterStuckBusy, false);

    // No UART at all reads 0xFF: every poll finds the transmitter empty, no
    // character time rises above the threshold, and the pass fails.
    sim.setFault(sim::Fault::AbsentUart);
    EXPECT_THROW(Sio::Bestimme_Drehzahl(passes, deviation, quota, error), Sio::ECalibrationError);
    EXPECT_EQ(memo.lines[memo.lines.size() - 2], "Benutze/Use Option Infrarot/Allocate");
    EXPECT_TRUE(
        hasLine(memo.lines, "Ml_Verzoegerungswert, Giga_Summe, Giga_Zaehler   0   0   0  "));
    EXPECT_EQ(Sio::Drehg_mSec, 1234);
    EXPECT_EQ(Sio::Anfragen_Sec, 5678);
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(deviation, 0);
    EXPECT_EQ(quota, 0);
}

TEST_F(Calibration, StallsEndTheRunEarlyWithAWarning) {
    // From the third pass on, a 200 µs stall every 1000 port reads spoils
    // most character times.
    sim.bus.setStalls({1000, 200 * sim::kPsPerUs, 1300000});
    Sio::Drehg_mSec = 1;
    EXPECT_EQ(Sio::Bestimme_Drehzahl(passes, deviation, quota, error), 0);
    EXPECT_EQ(passes, 2);
    EXPECT_EQ(error, "** Achtung: Iterationen < 3 **");
    EXPECT_TRUE(hasLine(memo.lines, "** Achtung: Iterationen < 3 **"));
    // The rates are still set (the spoilt pass drags the loop rate down).
    EXPECT_TRUE(within(Sio::Drehg_mSec, 95000, 0.25));
    EXPECT_TRUE(within(Sio::Anfragen_Sec, 700000, 0.02));
}

// The delay loop slowed down in some of its runs, as when other processes
// take the CPU: the delays of passes from..to-1 (counted by the characters
// sent since the clock was made, 1021 a pass) take `faktor` times as long, and
// the loop timed on its own (no port access since its last run)
// `alleinFaktor` times as long.
class BusyClock final : public platform::Clock {
public:
    BusyClock(platform::VirtualClock& inner, const sim::Uart16550& uart, std::int64_t turnsPerMs)
        : inner_(inner), uart_(uart), turnsPerMs_(turnsPerMs), chars0_(uart.stats().txChars) {}
    std::int64_t from = 0, to = 0;
    int faktor = 1, alleinFaktor = 1;

    std::int64_t performanceCounter() override { return inner_.performanceCounter(); }
    std::uint32_t tickCount() override { return inner_.tickCount(); }
    void sleepMs(std::uint32_t ms) override { inner_.sleepMs(ms); }
    void spin(std::int32_t turns) override {
        inner_.spin(turns);
        const bool allein = inner_.portAccesses() == accesses_;
        accesses_ = inner_.portAccesses();
        const auto pass = static_cast<std::int64_t>((uart_.stats().txChars - chars0_) / 1021);
        const int f = allein ? alleinFaktor : pass >= from && pass < to ? faktor : 1;
        if (turns > 0 && f > 1)
            inner_.advancePs(static_cast<std::int64_t>(turns) * (f - 1) * 1000000000LL /
                             turnsPerMs_);
    }
    std::int64_t nowPs() override { return inner_.nowPs(); }

private:
    platform::VirtualClock& inner_;
    const sim::Uart16550& uart_;
    std::int64_t turnsPerMs_;
    std::uint64_t chars0_;
    std::int64_t accesses_ = -1;
};

// A run with a disturbed pass, with every pass slowed alike, or whose passes
// ran far faster than the loop on its own, is no measurement: the rates stay
// as they were and the caller stores nothing.
TEST_F(Calibration, ImplausibleRunsAreNoMeasurement) {
    struct Fall {
        std::int64_t from, to;
        int faktor, alleinFaktor;
        const char* text;
    };
    const Fall faelle[] = {
        {5, 6, 4, 1, "Durchgaenge"}, // pass 5 at a quarter of the rate
        {0, 31, 20, 1, "statt"},     // every pass at a twentieth
        {0, 0, 1, 5, "statt"},       // the loop on its own at a fifth
    };
    for (const Fall& f : faelle) {
        BusyClock busy(clock, sim.uart, 95000);
        busy.from = f.from;
        busy.to = f.to;
        busy.faktor = f.faktor;
        busy.alleinFaktor = f.alleinFaktor;
        platform::ScopedBackends use(&sim.bus, &busy);
        memo.lines.clear();
        Sio::Drehg_mSec = 1234;
        Sio::Anfragen_Sec = 5678;
        EXPECT_EQ(Sio::Bestimme_Drehzahl(passes, deviation, quota, error), -2) << f.text;
        EXPECT_NE(error.find(f.text), std::string::npos) << error;
        EXPECT_TRUE(hasLine(memo.lines, error));
        EXPECT_EQ(Sio::Drehg_mSec, 1234) << f.text;
        EXPECT_EQ(Sio::Anfragen_Sec, 5678) << f.text;
    }
    // Undisturbed, the loop's own rate is traced beside the result.
    EXPECT_GE(Sio::Bestimme_Drehzahl(passes, deviation, quota, error), 3);
    EXPECT_TRUE(std::any_of(memo.lines.begin(), memo.lines.end(), [](const std::string& l) {
        return l.rfind("Schleife allein, Umdrhg pro ms :  950", 0) == 0;
    }));
}

// A host whose speed drifts, as a virtual machine's does under a neighbour's
// load: one millisecond in four at full speed, the rest at three quarters;
// and that stalls for 28 µs every 770 µs, as a virtual machine's vCPU does
// whatever the load. Every clock read costs host time, and the count-down
// loop runs at the host's speed. Not a VirtualClock, so the simulated adapter
// runs on it as on the host's clock.
class DriftingHost final : public platform::Clock {
public:
    static constexpr std::int64_t kFast = 2000000, kSlow = 1500000; // turns per ms

    std::int64_t performanceCounter() override { return psToCounter(nowPs()); }
    std::uint32_t tickCount() override { return static_cast<std::uint32_t>(now_ / sim::kPsPerMs); }
    void sleepMs(std::uint32_t ms) override { now_ += ms * sim::kPsPerMs; }
    void spin(std::int32_t turns) override {
        if (turns > 0) now_ += turns * sim::kPsPerMs / (fast() ? kFast : kSlow);
    }
    std::int64_t nowPs() override {
        now_ += fast() ? 40000 : 53333;
        if (now_ >= nextStall_) {
            now_ += 28 * sim::kPsPerUs;
            nextStall_ += 770 * sim::kPsPerUs;
        }
        return now_;
    }

private:
    bool fast() const { return now_ / sim::kPsPerMs % 4 == 0; }
    std::int64_t now_ = 0;
    std::int64_t nextStall_ = 770 * sim::kPsPerUs;
};

// On the host's clock the simulated UART is polled at the pace of a PC's
// port bus, neither at the host's own speed nor losing polls to the host's
// stalls: every character time holds the same number of polls, and a delay
// after each character costs the polls its time takes, so a pass and a
// delayed pass give the simulated PC's loop rate, even with the first pass's tiny
// delay.
TEST(CalibrationOnTheHost, PollsKeepThePaceOfAPortBus) {
    DriftingHost host;
    sim::SimAdapter sim(host, 0x3F8);
    platform::ScopedBackends use(&sim.bus, &sim.clock);
    EngineSession session;
    std::int32_t a = 0, count = 0;
    Sio::Zeichenzeit_messen(0, a, count);
    EXPECT_GE(count, 990);
    EXPECT_TRUE(within(a, 700000, 0.01));
    // The simulated PC's own loop rate, steady whatever the drifting host's
    // loop (a quarter of its time at 2,000,000 turns/ms, the rest at
    // 1,500,000) and its stalls do.
    constexpr std::int64_t kMittel = sim::HostClock::kTurnsPerMs;
    // The first delayed pass: a/20 turns/ms taken for the rate, so a delay
    // of a few hundred nanoseconds; then a fortieth of a character time.
    const std::int32_t delays[] = {a / 20 * 25 / 960,
                                   static_cast<std::int32_t>(kMittel * 25 / 960)};
    const double tolerance[] = {0.15, 0.02};
    for (int k = 0; k < 2; ++k) {
        std::int32_t b = 0;
        Sio::Zeichenzeit_messen(delays[k], b, count);
        EXPECT_GE(count, 990);
        EXPECT_TRUE(within(Sio::Drehzahl_aus_Messung(a, b, delays[k]), kMittel, tolerance[k]))
            << delays[k];
    }
}

class FastCalibration : public Calibration {
protected:
    FastCalibration() : Calibration(pc(3000000, 3000000)) {}
};

TEST_F(FastCalibration, RecoversAFastPc) {
    EXPECT_EQ(Sio::Bestimme_Drehzahl(passes, deviation, quota, error), 30);
    EXPECT_TRUE(within(Sio::Drehg_mSec, 3000000, 0.02));
    EXPECT_TRUE(within(Sio::Anfragen_Sec, 3000000, 0.02));
}

class VeryFastPass : public Calibration {
protected:
    VeryFastPass() : Calibration(pc(3000000, 30000000)) {}
};

TEST_F(VeryFastPass, ReadsPerSecondBeyond32BitIntermediates) {
    std::int32_t rps = 0, count = 0;
    Sio::Zeichenzeit_messen(0, rps, count);
    EXPECT_EQ(count, 1000);
    EXPECT_TRUE(within(rps, 30000000, 0.01));
}
