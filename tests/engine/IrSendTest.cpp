// The engine's own UART routines against the simulated adapter.

#include "engine/IrSend.h"
#include "sim/IrRecorder.h"
#include "support/SimFixture.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

class EngineOnSim : public SimFixture {};

TEST_F(EngineOnSim, SetupChannelAndLines) {
    Sio::UART_Init_9600();
    EXPECT_EQ(sim.uart.divisor(), 12u);
    EXPECT_EQ(sim.uart.lineControl(), 3);
    auto src = std::make_shared<sim::LineSource>();
    src->dsr(0, true);
    sim.adapter.attach(src, 2);
    Sio::Waehle_Kanal(2);
    EXPECT_EQ(sim.adapter.channel(), 2);
    bool cts = false, dsr = false, rx = false;
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_TRUE(dsr) << "the delta toggled the latch on";
    Sio::Lies_Leitungen(cts, dsr, rx);
    EXPECT_TRUE(dsr) << "the level, no delta";
    EXPECT_TRUE(sim.bus.strays().empty());

    // A stuck transmitter: Warte_Sender_leer gives up after 20001 busy reads.
    sim.setFault(sim::Fault::TransmitterStuckBusy);
    const auto before = sim.bus.accesses();
    Sio::Warte_Sender_leer();
    EXPECT_TRUE(Sio::Sende_Timeout);
    EXPECT_EQ(sim.bus.accesses() - before, 20002u);
}

namespace {

// The bytes written to the transmit register (not the divisor latch), in order.
std::vector<std::uint8_t> thrWrites(const sim::PortBus& bus) {
    std::vector<std::uint8_t> out;
    bool dlab = false;
    for (const auto& w : bus.writes()) {
        if (w.port == 0x3FB) dlab = (w.value & 0x80) != 0;
        if (w.port == 0x3F8 && !dlab) out.push_back(w.value);
    }
    return out;
}

Sio::TBefehl befehl(std::initializer_list<std::int32_t> values) {
    Sio::TBefehl b{};
    std::size_t i = 0;
    for (auto v : values)
        b[i++] = v;
    return b;
}

constexpr sim::Ps kTickPs = sim::kPsPerSecond / platform::Clock::kCounterFrequency + 1;

sim::Ps counterToPs(std::int64_t ticks) {
    return static_cast<sim::Ps>(
        static_cast<__int128>(ticks) * sim::kPsPerSecond / platform::Clock::kCounterFrequency + 1);
}

} // namespace

class IrSend : public SimFixture {
protected:
    // Two counter ticks, one counter read, two port accesses.
    sim::Ps startTolerance() {
        return 2 * kTickPs + clock.costs().counterReadPs +
               2 * sim::kPsPerSecond / clock.costs().portAccessesPerSecond;
    }
    std::int32_t send(const Sio::TBefehl& cmd) {
        sim.bus.setLogWrites(true);
        const std::int32_t r = Sio::IR_Senden(cmd);
        sim.sync();
        return r;
    }
};

namespace {

// The virtual clock as the engine sees it, with the processor taken away from
// the engine now and then: `stoerung` runs before each counter read and before
// each line-status read, and may advance the clock.
class Stoerung final : public platform::Clock, public platform::PortIo {
public:
    Stoerung(platform::VirtualClock& clock, platform::PortIo& ports)
        : clock_(clock), ports_(ports) {}
    std::function<void(bool zaehler)> stoerung;

    // The last port access was a write to the data register.
    bool nach_zeichen = false;

    std::int64_t performanceCounter() override {
        if (stoerung) stoerung(true);
        nach_zeichen = false;
        return clock_.performanceCounter();
    }
    std::uint32_t tickCount() override { return clock_.tickCount(); }
    void sleepMs(std::uint32_t ms) override { clock_.sleepMs(ms); }
    void spin(std::int32_t turns) override { clock_.spin(turns); }
    std::int64_t nowPs() override { return clock_.nowPs(); }
    void chargePortAccess() override { clock_.chargePortAccess(); }

    std::uint8_t in(std::uint16_t port) override {
        if (stoerung && port == 0x3FD) stoerung(false);
        nach_zeichen = false;
        return ports_.in(port);
    }
    void out(std::uint16_t port, std::uint8_t value) override {
        nach_zeichen = port == 0x3F8;
        ports_.out(port, value);
    }
    std::string describe() const override { return ports_.describe(); }

private:
    platform::VirtualClock& clock_;
    platform::PortIo& ports_;
};

} // namespace

TEST_F(IrSend, TableAndCarrierCharacters) {
    EXPECT_EQ(send(befehl({1, 560, 560, 0})), 1);
    EXPECT_EQ(Sio::IR_Messwerte[1], 22);
    EXPECT_EQ(Sio::IR_Messwerte[2], 1120);
    EXPECT_EQ(Sio::IR_Messwerte[3], 0);
    EXPECT_EQ(thrWrites(sim.bus),
              (std::vector<std::uint8_t>{0x5B, 0x5B, 0x5B, 0x5B, 0x5B, 0x5B, 0x5B, 0xFF}));
    EXPECT_EQ(sim.irSender->text(sim::IrSender::Unit::CarrierPeriods), "m22");
    EXPECT_EQ(sim.irSender->text(), "m573");
    EXPECT_EQ(sim.uart.lineControl(), 2) << "115200 7N1 stays set";
    EXPECT_EQ(sim.uart.divisor(), 1u);
    EXPECT_TRUE(sim.uart.fifoEnabled());
    EXPECT_EQ(memo.lines.back(), " IRX ");

    // 39, 52 and 78 µs round to 1, 2 and 3 carrier periods.
    sim.bus.clearWrites();
    sim.irSender->clear();
    send(befehl({1, 39, 1000, 52, 1000, 78, 1000, 0}));
    EXPECT_EQ(thrWrites(sim.bus), (std::vector<std::uint8_t>{0xFF, 0xFB, 0x5B}));
    EXPECT_EQ(sim.irSender->text(sim::IrSender::Unit::CarrierPeriods), "m1s1013m2s1000m3");

    // A pulse of 13 µs rounds to 0 and ends the frame there; an empty
    // command sends nothing; a repeat count of 0 neither.
    sim.bus.clearWrites();
    sim.irSender->clear();
    send(befehl({2, 560, 560, 13, 560, 560, 560, 0}));
    EXPECT_EQ(sim.irSender->text(sim::IrSender::Unit::CarrierPeriods), "m22s547m22");
    for (auto cmd : {befehl({1, 0, 560, 560}), befehl({0, 560, 560, 0}), befehl({-1, 560, 0})}) {
        sim.irSender->clear();
        const auto t0 = clock.nowPs();
        send(cmd);
        EXPECT_TRUE(sim.irSender->bursts().empty());
        EXPECT_GE(clock.nowPs() - t0, 200 * sim::kPsPerMs) << "100 ms before and after";
    }
}

TEST_F(IrSend, ChannelOfTheIrUnit) {
    Sio::Setze_IR_Einheit(3);
    send(befehl({1, 560, 560, 0}));
    ASSERT_EQ(sim.adapter.channelLog().size(), 1u);
    const auto& change = sim.adapter.channelLog()[0];
    EXPECT_EQ(change.to, 3);
    EXPECT_EQ(sim.uart.modemControl() & 3, 3) << "DTR and RTS on";
    ASSERT_EQ(sim.irSender->bursts().size(), 1u);
    const sim::Ps wait = sim.irSender->bursts()[0].start - change.at;
    EXPECT_GE(wait, 120 * sim::kPsPerMs);
    EXPECT_LE(wait, 120 * sim::kPsPerMs + 10 * sim::kPsPerUs);
    EXPECT_EQ(sim.irSender->bursts()[0].channel, 3);

    Sio::Setze_IR_Einheit(0);
    sim.irSender->clear();
    send(befehl({1, 560, 560, 0}));
    ASSERT_EQ(sim.adapter.channelLog().size(), 2u);
    const auto& back = sim.adapter.channelLog()[1];
    EXPECT_EQ(back.to, 0);
    EXPECT_EQ(sim.uart.modemControl() & 3, 0) << "both lines off";
    const sim::Ps wait0 = sim.irSender->bursts()[0].start - back.at;
    EXPECT_GE(wait0, 100 * sim::kPsPerMs);
    EXPECT_LE(wait0, 100 * sim::kPsPerMs + 10 * sim::kPsPerUs);
}

TEST_F(IrSend, NecFrameRepeatedThreeTimes) {
    // 9000/4500 header, 32 bits (560 on, 560 or 1690 off), stop pulse, gap.
    Sio::TBefehl cmd{};
    std::size_t n = 0;
    cmd[n++] = 3;
    cmd[n++] = 9000;
    cmd[n++] = 4500;
    const std::uint32_t code = 0x20DF10EF;
    for (int bit = 0; bit < 32; ++bit) {
        cmd[n++] = 560;
        cmd[n++] = (code >> bit) & 1 ? 1690 : 560;
    }
    cmd[n++] = 560;
    cmd[n++] = 40000;
    const std::size_t pulsesPerFrame = (n - 1) / 2;
    send(cmd);

    const auto& bursts = sim.irSender->bursts();
    ASSERT_EQ(bursts.size(), 3 * pulsesPerFrame);
    const sim::Ps lastStart = counterToPs(Sio::Sendestart);
    const sim::Ps frameStart[3] = {bursts[0].start, bursts[pulsesPerFrame].start,
                                   bursts[2 * pulsesPerFrame].start};
    EXPECT_LE(frameStart[2] - lastStart, startTolerance());
    EXPECT_GE(frameStart[2] - lastStart, 0);
    for (int rep = 0; rep < 3; ++rep) {
        // The frame start is the engine's Sendestart within tolerance; each
        // burst starts at that + the previous pause's deadline.
        const sim::Ps origin = rep == 2 ? lastStart : frameStart[rep];
        std::int64_t deadlineUs = 0;
        for (std::size_t p = 0; p < pulsesPerFrame; ++p) {
            const auto& b = bursts[rep * pulsesPerFrame + p];
            const std::int32_t request = cmd[1 + 2 * p];
            EXPECT_EQ(b.pulses, Sio::Runden(request * 0.0384)) << "burst " << p;
            EXPECT_LE(std::abs(b.lengthPs() - request * sim::kPsPerUs),
                      sim::IrBurst::kCarrierPeriodPs / 2);
            if (p > 0) {
                const sim::Ps late = b.start - (origin + deadlineUs * sim::kPsPerUs);
                EXPECT_GE(late, rep == 2 ? 0 : -kTickPs) << "rep " << rep << " burst " << p;
                EXPECT_LE(late, startTolerance()) << "rep " << rep << " burst " << p;
            }
            deadlineUs += request + cmd[2 + 2 * p];
        }
        if (rep < 2) {
            const sim::Ps nextLate = frameStart[rep + 1] - (origin + deadlineUs * sim::kPsPerUs);
            EXPECT_LE(nextLate, 2 * startTolerance()) << "repeat follows at once";
        }
    }
    EXPECT_FALSE(Sio::Sende_Timeout);
}

TEST_F(IrSend, StuckTransmitterTimesOutButRunsThePauses) {
    const auto cmd = befehl({1, 560, 5000, 560, 5000, 0});
    const auto t0 = clock.nowPs();
    send(cmd);
    const auto normal = clock.nowPs() - t0;
    EXPECT_EQ(sim.irSender->bursts().size(), 2u);

    sim.setFault(sim::Fault::TransmitterStuckBusy);
    sim.irSender->clear();
    const auto t1 = clock.nowPs();
    EXPECT_EQ(send(cmd), 0) << "the caller learns that nothing went out";
    const auto stuck = clock.nowPs() - t1;
    EXPECT_TRUE(sim.irSender->bursts().empty());
    EXPECT_TRUE(Sio::Sende_Timeout);
    ASSERT_GE(memo.lines.size(), 2u);
    const std::string& timeoutLine = memo.lines[memo.lines.size() - 2];
    EXPECT_EQ(timeoutLine.substr(timeoutLine.size() - 18), "** send_timeout **");
    EXPECT_EQ(memo.lines.back(), " IRX ");
    // The pauses still run to their deadlines: the frame lasts as long as
    // the 20002 reads of the one wait that timed out, or 11.12 ms, whichever ends later.
    EXPECT_GE(stuck, normal - 100 * sim::kPsPerUs);
    EXPECT_LE(stuck, normal + 30 * sim::kPsPerMs);
}

TEST_F(IrSend, TransmissionThatLostTheProcessorIsSentAgainOrReported) {
    // The recorder's key in two frames, judged by the recorder's decoder.
    auto recorder = std::make_shared<sim::IrRecorder>();
    sim.attach(recorder, {0, 3});
    const sim::IrEmission key = sim::IrRecorder::remoteKey(3, 2);
    Sio::TBefehl cmd{};
    std::copy(key.befehl.begin(), key.befehl.end(), cmd.begin());
    constexpr std::size_t kBursts = 34; // a frame: header, 32 bits, stop pulse
    Stoerung stoerung(clock, sim.bus);
    const platform::ScopedBackends gestoert(&stoerung, &stoerung);
    struct Fall {
        const char* name;
        // Before a counter read (true) or a line-status read: reads of that
        // kind so far, the pulses begun (a status read after counter reads),
        // and counter reads since the last pulse began.
        std::function<void(bool, std::int64_t, std::int64_t, std::int64_t)> stoerung;
        std::int32_t result;
        std::size_t bursts;
        std::size_t presses;
        // How much later than undisturbed the first clean transmission
        // began (ms; -1: by more than a damaged header and a pause).
        std::int64_t verzug_ms;
    };
    const std::vector<Fall> faelle = {
        // Undisturbed: the waveform of every clean send.
        {"clean", {}, 1, 2 * kBursts, 1, 0},
        // 3 ms lost early in the header's 4.5 ms pause: it ends 1.5 ms late.
        // The frame stops after its header and goes out again.
        {"pause stretched once",
         [&](bool zaehler, std::int64_t n, std::int64_t, std::int64_t) {
             if (zaehler && n == 50) clock.advanceUs(6000);
         },
         1, 1 + 2 * kBursts, 1, -1},
        // 300 µs lost between two characters of the header pulse: the line
        // fell idle in the middle of it, and no further character follows.
        {"pulse broken once",
         [&](bool zaehler, std::int64_t n, std::int64_t, std::int64_t) {
             if (!zaehler && n == 200) clock.advanceUs(300);
         },
         1, 1 + 2 * kBursts, 1, -1},
        // 300 µs lost between the end of the header's pause and the first
        // character of the next pulse: the pause is 300 µs too long.
        {"pulse begun late once",
         [&](bool zaehler, std::int64_t, std::int64_t pulse, std::int64_t) {
             if (!zaehler && pulse == 2) clock.advanceUs(300);
         },
         1, 2 + 2 * kBursts, 1, -1},
        // 300 µs lost once the header pulse's last character is in the
        // shift register: the pulse on the line is whole and its pause still
        // ends in time, so nothing was damaged.
        {"lost after a pulse's last character",
         [&](bool zaehler, std::int64_t, std::int64_t pulse, std::int64_t danach) {
             if (zaehler && pulse == 1 && danach == 1) clock.advanceUs(300);
         },
         1, 2 * kBursts, 1, 0},
        // 250 µs lost before the second bit's pulse: the 1690 µs pause
        // before it is that much longer, the 1690 µs one after it shorter,
        // both within a fifth; the recorder decodes it.
        {"pulse begun late within a fifth of its pauses",
         [&, einmal = true](bool zaehler, std::int64_t, std::int64_t pulse,
                            std::int64_t) mutable {
             if (!zaehler && pulse == 3 && einmal) clock.advanceUs(250), einmal = false;
         },
         1, 2 * kBursts, 1, 0},
        // The same before the second frame's header: the first frame went
        // out clean, so the second follows after 20 ms, not the frame's own
        // pause, and the recorder takes it for a repeat of the same press.
        {"second frame begun late once",
         [&](bool zaehler, std::int64_t, std::int64_t pulse, std::int64_t) {
             if (!zaehler && pulse == kBursts + 1) clock.advanceUs(300);
         },
         1, 1 + 2 * kBursts, 1, 0},
        // 60 ms lost in the set-up before the first transmission: the
        // command goes out clean, and says how much later it began.
        {"set-up stretched",
         [&](bool zaehler, std::int64_t n, std::int64_t, std::int64_t) {
             if (zaehler && n == 1) clock.advanceUs(60000);
         },
         1, 2 * kBursts, 1, 60},
        // 120 ms lost in the first frame's closing pause: that frame is
        // clean, but a second one now would come later than a repeat of the
        // same press; the command ends not clean.
        {"closing pause stretched beyond a frame period",
         [&](bool zaehler, std::int64_t, std::int64_t pulse, std::int64_t danach) {
             if (zaehler && pulse == kBursts && danach == 100) clock.advanceUs(120000);
         },
         0, kBursts, 1, 0},
        // 10 ms lost every 20000 counter reads: every header pause is
        // stretched. The first transmission and three more are stopped after
        // their header; the command is reported, nothing follows.
        {"pause stretched every time",
         [&](bool zaehler, std::int64_t n, std::int64_t, std::int64_t) {
             if (zaehler && n % 20000 == 0) clock.advanceUs(10000);
         },
         0, 1 + Sio::Sende_Wiederholungen, 0, 0},
    };
    for (const Fall& f : faelle) {
        SCOPED_TRACE(f.name);
        advanceUs(500000);
        recorder->clearLog();
        sim.irSender->clear();
        memo.lines.clear();
        std::int64_t zaehler = 0, lsr = 0, pulse = 0, danach = 0;
        bool warten = false;
        stoerung.stoerung = [&](bool z) {
            // The sender reads the counter once just after a pulse's first
            // character: that is no pause.
            if (z && stoerung.nach_zeichen) return;
            if (!z && warten) {
                ++pulse;
                danach = 0;
            }
            warten = z;
            const std::int64_t n = z ? ++zaehler : ++lsr;
            if (z) ++danach;
            if (f.stoerung) f.stoerung(z, n, pulse, danach);
        };
        const std::int64_t aufruf = clock.performanceCounter();
        EXPECT_EQ(send(cmd), f.result);
        stoerung.stoerung = {};
        const std::int64_t verzug_ms =
            Sio::Sendebeginn == 0 ? 0
                                  : (Sio::Sendebeginn - aufruf - Sio::Sende_Vorlauf()) * 1000 /
                                        platform::Clock::kCounterFrequency;
        if (f.verzug_ms < 0)
            EXPECT_GT(verzug_ms, 10);
        else
            EXPECT_NEAR(verzug_ms, f.verzug_ms, 1);
        advanceUs(500000);
        EXPECT_EQ(sim.irSender->bursts().size(), f.bursts) << sim.irSender->text();
        ASSERT_EQ(recorder->log().size(), f.presses);
        if (f.presses == 1) {
            EXPECT_EQ(recorder->log()[0].code, 3);
            EXPECT_EQ(recorder->log()[0].frames, f.result == 1 ? 2 : 1)
                << "the frames sent again belong to the press";
        }
        const bool gemeldet = std::find(memo.lines.begin(), memo.lines.end(),
                                        Sio::Sende_Abbruch_Text) != memo.lines.end();
        EXPECT_EQ(gemeldet, f.result == 0);
    }
}
