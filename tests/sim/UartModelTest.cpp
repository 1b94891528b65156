// The 16550 model and the adapter's wires, driven register by register on a
// virtual clock whose port accesses cost nothing unless a test says so.

#include "sim/LineSource.h"
#include "sim/SimAdapter.h"

#include "support/SimRig.h"

#include <gtest/gtest.h>

#include <vector>

using sim::kPsPerUs;
using sim::Ps;

namespace {

constexpr std::uint16_t kBase = 0x2F8;

struct Rig : SimRig {
    Rig() : SimRig(kBase) {
        probe = std::make_shared<sim::LineProbe>();
        sim.adapter.attach(probe, 0);
    }
    void setup(std::uint8_t divisor, std::uint8_t lcr) {
        out(3, 0x80 | lcr);
        out(0, divisor);
        out(1, 0);
        out(3, lcr);
    }
    std::shared_ptr<sim::LineProbe> probe;
};

} // namespace

TEST(UartModel, CharacterTimingOnTxd) {
    Rig r;
    r.setup(12, 3); // 9600 8N1
    r.at(1000 * kPsPerUs);
    r.out(0, 0x55);
    r.at(5000 * kPsPerUs);
    // 0x55: start 0, then 1 0 1 0 1 0 1 0, stop 1: ten edges, one per bit.
    ASSERT_EQ(r.probe->edges.size(), 10u);
    const Ps t0 = r.probe->edges.front().at;
    EXPECT_EQ(t0, 1000 * kPsPerUs);
    EXPECT_FALSE(r.probe->edges.front().mark);
    EXPECT_TRUE(r.probe->edges.back().mark);
    // The stop bit begins after nine bits; the character lasts ten.
    EXPECT_EQ(r.probe->edges.back().at - t0, 9 * sim::kPsPerSecond / 9600);
    EXPECT_EQ(r.sim.uart.characterPs(), 1041666666); // 1041.67 µs

    // 115200 7N1: nine bits, 78.125 µs; back-to-back characters keep that grid
    // without drift (edge times computed from each character's start).
    r.probe->edges.clear();
    r.setup(1, 2);
    EXPECT_EQ(r.sim.uart.characterPs(), 78125000);
    r.out(2, 1); // FIFO on
    const Ps start = r.clock.nowPs();
    for (int i = 0; i < 16; ++i)
        r.out(0, 0xFF); // line pattern 0 1111111 1: one space bit
    r.at(start + 2000 * kPsPerUs);
    ASSERT_EQ(r.probe->edges.size(), 32u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(r.probe->edges[2 * i].at - start, i * 78125000);
        EXPECT_EQ(r.probe->edges[2 * i + 1].at - start, i * 78125000 + 8680555);
    }
    EXPECT_EQ(r.sim.uart.stats().txChars, 17u);
}

TEST(UartModel, ThreAndTemtWithAndWithoutFifo) {
    Rig r;
    r.setup(12, 3);
    const Ps ch = r.sim.uart.characterPs();
    EXPECT_EQ(r.in(5) & 0x60, 0x60);
    // Without FIFO: the first byte goes straight to the shift register, the
    // second waits in the THR, a third is lost.
    const Ps t0 = r.clock.nowPs();
    r.out(0, 'a');
    EXPECT_EQ(r.in(5) & 0x60, 0x20) << "THR empty, shift register busy";
    r.out(0, 'b');
    EXPECT_EQ(r.in(5) & 0x60, 0x00);
    r.out(0, 'c');
    EXPECT_EQ(r.sim.uart.stats().txLost, 1u);
    r.at(t0 + ch - 1);
    EXPECT_EQ(r.in(5) & 0x60, 0x00);
    r.at(t0 + ch);
    EXPECT_EQ(r.in(5) & 0x60, 0x20) << "'b' moved into the shift register";
    r.at(t0 + 2 * ch - 1);
    EXPECT_EQ(r.in(5) & 0x60, 0x20);
    r.at(t0 + 2 * ch);
    EXPECT_EQ(r.in(5) & 0x60, 0x60);
    EXPECT_EQ(r.sim.uart.stats().txChars, 2u);

    // With FIFO: sixteen wait behind the shift register; THRE comes when the
    // last one enters it, TEMT one character later.
    r.out(2, 1);
    const Ps t1 = r.clock.nowPs();
    for (int i = 0; i < 18; ++i)
        r.out(0, static_cast<std::uint8_t>(i));
    EXPECT_EQ(r.sim.uart.stats().txLost, 2u) << "17 fit: shift register + FIFO";
    r.at(t1 + 16 * ch - 1);
    EXPECT_EQ(r.in(5) & 0x60, 0x00);
    r.at(t1 + 16 * ch);
    EXPECT_EQ(r.in(5) & 0x60, 0x20);
    r.at(t1 + 17 * ch);
    EXPECT_EQ(r.in(5) & 0x60, 0x60);
    EXPECT_EQ(r.in(2) & 0xC0, 0xC0) << "IIR shows the FIFOs";
}

TEST(UartModel, BreakForcesSpace) {
    Rig r;
    r.setup(1, 0);
    r.at(10 * kPsPerUs);
    r.out(3, 0x40);
    EXPECT_FALSE(r.sim.uart.txdMark());
    r.at(500 * kPsPerUs);
    r.out(0, 0xFF); // a character under break changes nothing on the line
    r.at(600 * kPsPerUs);
    EXPECT_FALSE(r.sim.uart.txdMark());
    r.out(3, 0x00);
    EXPECT_TRUE(r.sim.uart.txdMark());
    ASSERT_EQ(r.probe->edges.size(), 2u);
    EXPECT_EQ(r.probe->edges[0].at, 10 * kPsPerUs);
    EXPECT_TRUE(r.probe->edges[0].breakOn);
    EXPECT_FALSE(r.probe->edges[0].mark);
    EXPECT_TRUE(r.probe->edges[1].mark);
}

TEST(UartModel, ModemStatusDeltasLatchShortPulses) {
    Rig r;
    r.setup(12, 3);
    auto src = std::make_shared<sim::LineSource>();
    // A DSR pulse of 1 µs between two reads that lie 100 µs apart.
    src->dsr(40 * kPsPerUs, true).dsr(41 * kPsPerUs, false).cts(60 * kPsPerUs, true);
    r.sim.adapter.attach(src, 0);
    EXPECT_EQ(r.in(6), 0x00);
    r.at(100 * kPsPerUs);
    EXPECT_EQ(r.in(6), 0x02 | 0x01 | 0x10) << "delta DSR once, delta CTS, CTS level";
    EXPECT_EQ(r.in(6), 0x10) << "reading cleared the deltas";
    EXPECT_EQ(r.probe->msrReads, 3u);
}

TEST(UartModel, ReceiverSamplesMidBit) {
    Rig r;
    r.setup(12, 3);
    auto src = std::make_shared<sim::LineSource>();
    sim::Framing f; // 9600 8N1
    src->bytes(100 * kPsPerUs, {0x41, 0x42}, f);
    // A glitch shorter than half a bit is no start bit.
    src->rxd(5000 * kPsPerUs, false).rxd(5020 * kPsPerUs, true);
    r.sim.adapter.attach(src, 0);
    r.at(100 * kPsPerUs + f.characterPs() - f.bitPs() / 2 - 1);
    EXPECT_EQ(r.in(5) & 1, 0) << "not before the middle of the stop bit";
    r.at(100 * kPsPerUs + f.characterPs() - f.bitPs() / 2);
    EXPECT_EQ(r.in(5) & 1, 1);
    r.at(10000 * kPsPerUs);
    EXPECT_EQ(r.in(5) & 0x03, 0x03) << "second byte overran the first (no FIFO)";
    EXPECT_EQ(r.in(0), 0x42);
    EXPECT_EQ(r.in(5) & 0x1F, 0x00);
    EXPECT_EQ(r.sim.uart.stats().rxChars, 2u);

    // With the FIFO both are kept; a wrong framing gives FE; a long space a
    // break character, once.
    r.out(2, 1);
    src->bytes(20000 * kPsPerUs, {0x10, 0x20}, f);
    sim::Framing parity = f;
    parity.parity = 'E'; // 0x81: parity bit 0 lands in the stop bit's slot
    src->bytes(30000 * kPsPerUs, {0x81}, parity);
    src->rxd(40000 * kPsPerUs, false).rxd(45000 * kPsPerUs, true);
    r.at(50000 * kPsPerUs);
    EXPECT_EQ(r.in(5) & 0x9F, 0x81) << "data ready, an error waits in the FIFO";
    EXPECT_EQ(r.in(0), 0x10);
    EXPECT_EQ(r.in(0), 0x20);
    EXPECT_EQ(r.in(5) & 0x1F, 0x09) << "FE with the byte now on top";
    EXPECT_EQ(r.in(0), 0x81);
    EXPECT_EQ(r.in(5) & 0x1F, 0x01) << "resynchronised on the space stop bit";
    EXPECT_EQ(r.in(0), 0xFF);
    EXPECT_EQ(r.in(5) & 0x1F, 0x19) << "break: BI and FE";
    EXPECT_EQ(r.in(0), 0x00);
    EXPECT_EQ(r.in(5) & 0x9F, 0x00);
}

TEST(UartModel, AdapterConnectsOnlyTheSelectedChannel) {
    Rig r;
    auto ch3 = std::make_shared<sim::LineProbe>();
    r.sim.adapter.attach(ch3, 3);
    ch3->driveDsr(true);
    EXPECT_EQ(r.in(6) & 0x20, 0) << "channel 3 not selected";
    r.setup(1, 2);
    r.at(10 * kPsPerUs);
    r.out(4, 3);
    EXPECT_EQ(r.in(6), 0x22) << "DSR of channel 3 arrives with its delta";
    r.out(0, 0x5B);
    r.at(200 * kPsPerUs);
    EXPECT_EQ(ch3->edges.size(), 6u);
    r.out(4, 1);
    r.out(4, 5); // same channel (MCR & 3): no change logged
    ASSERT_EQ(r.sim.adapter.channelLog().size(), 2u);
    EXPECT_EQ(r.sim.adapter.channelLog()[0].at, 10 * kPsPerUs);
    EXPECT_EQ(r.sim.adapter.channelLog()[0].to, 3);
    EXPECT_EQ(r.sim.adapter.channelLog()[1].to, 1);
    ASSERT_EQ(ch3->connections.size(), 2u);
    EXPECT_EQ(ch3->connections[0].channel, 3);
    EXPECT_FALSE(ch3->connections[1].connected);
    ASSERT_EQ(r.probe->connections.size(), 2u);
    EXPECT_TRUE(r.probe->connections[0].connected) << "channel 0 is selected at reset";
    EXPECT_FALSE(r.probe->connections[1].connected) << "probe on 0 left at the first switch";

    // Unmapped addresses read 0xFF and are counted; faults.
    EXPECT_EQ(r.sim.bus.in(0x3FD), 0xFF);
    r.sim.bus.out(0x3F8, 1);
    ASSERT_EQ(r.sim.bus.strays().count(0x3FD), 1u);
    EXPECT_EQ(r.sim.bus.strays().at(0x3FD).reads, 1u);
    EXPECT_EQ(r.sim.bus.strays().at(0x3F8).writes, 1u);
    r.sim.setFault(sim::Fault::AbsentUart);
    EXPECT_EQ(r.in(5), 0xFF);
    r.sim.setFault(sim::Fault::AbsentUart, false);
    r.sim.setFault(sim::Fault::TransmitterStuckBusy);
    EXPECT_EQ(r.in(5) & 0x60, 0);
    r.sim.setFault(sim::Fault::PortAccessRefused);
    EXPECT_THROW(r.in(5), sim::PortAccessRefused);
}

TEST(UartModel, RunsOnTheHostClock) {
    // Real time: a character at 115200 7N1 takes 78.125 µs of the simulated
    // PC's time, which never runs ahead of the host's; the loop is bounded by
    // the host's own time.
    platform::RealClock host;
    sim::SimAdapter sim(host, kBase);
    auto out = [&](int reg, std::uint8_t v) { sim.bus.out(kBase + reg, v); };
    out(3, 0x82);
    out(0, 1);
    out(1, 0);
    out(3, 0x02);
    const Ps t0 = host.nowPs();
    const Ps s0 = sim.queue.now();
    out(0, 0x5B);
    Ps done = 0;
    while (host.nowPs() - t0 < sim::kPsPerSecond)
        if (sim.bus.in(kBase + 5) & 0x40) {
            done = sim.queue.now();
            break;
        }
    ASSERT_NE(done, 0);
    EXPECT_GE(done - s0, 78125000);
    EXPECT_LE(done, host.nowPs());
    ASSERT_EQ(sim.irSender->bursts().size(), 1u);
    EXPECT_EQ(sim.irSender->bursts()[0].pulses, 3);
}

// A host whose delay loop runs at whatever speed the test sets, as a loaded
// machine's does (neighbours on its cores, changing clock frequency); its
// time moves by its clock reads and its loop only.
class SwayingHost final : public platform::Clock {
public:
    std::int64_t turnsPerMs = 2000000;

    std::int64_t performanceCounter() override { return psToCounter(nowPs()); }
    std::uint32_t tickCount() override { return static_cast<std::uint32_t>(now_ / sim::kPsPerMs); }
    void sleepMs(std::uint32_t ms) override { now_ += ms * sim::kPsPerMs; }
    void spin(std::int32_t turns) override {
        if (turns > 0) now_ += turns * sim::kPsPerMs / turnsPerMs;
    }
    std::int64_t nowPs() override { return now_ += 50000; }

private:
    std::int64_t now_ = 0;
};

TEST(UartModel, DelayLoopKeepsItsPaceOnASwayingHost) {
    // The Control-L sends write a byte a calibrated number of turns after a
    // bus edge, to a fraction of a bit: on the host's clock a delay between
    // two port accesses lasts the same for the simulated PC whether the host's
    // loop runs at full or at half speed.
    SwayingHost host;
    sim::SimAdapter sim(host, kBase);
    sim.bus.setLogWrites(true);
    std::vector<Ps> gaps;
    for (std::int64_t rate : {2000000, 1000000}) {
        host.turnsPerMs = rate;
        sim.bus.clearWrites();
        sim.bus.out(kBase + 7, 0);
        sim.clock.spin(200000);
        sim.bus.out(kBase + 7, 1);
        ASSERT_EQ(sim.bus.writes().size(), 2u);
        gaps.push_back(sim.bus.writes()[1].at - sim.bus.writes()[0].at);
    }
    EXPECT_EQ(gaps[0], gaps[1]);
    EXPECT_EQ(gaps[0],
              sim::PortBus::kHostAccessPs + 200000 * sim::kPsPerMs / sim::HostClock::kTurnsPerMs);
}
