// How the IR sender's log measures what went out on TXD.

#include "sim/SimAdapter.h"

#include "platform/VirtualClock.h"

#include <gtest/gtest.h>

using sim::kPsPerUs;
using sim::Ps;

namespace {

// Drives the sender's TXD input directly, as the UART would.
struct Wire {
    platform::VirtualClock clock;
    sim::SimAdapter sim{clock};
    // A space run from `from` µs-ps for `width` ps.
    void pulse(Ps from, Ps width) {
        at(from);
        sim.adapter.txdChanged(from, false, false);
        at(from + width);
        sim.adapter.txdChanged(from + width, true, false);
    }
    void at(Ps t) {
        clock.advancePs(t - clock.nowPs());
        sim.sync();
    }
};

constexpr Ps kBit = sim::kPsPerSecond / 115200; // 8,680,555 ps

} // namespace

TEST(IrSenderLog, GroupsCarrierPulsesIntoBursts) {
    Wire w;
    // Four pulses one bit wide, 3 bits apart (2-bit gaps, 17.36 µs): one burst.
    const Ps t0 = 1000 * kPsPerUs;
    for (int i = 0; i < 4; ++i)
        w.pulse(t0 + 3 * i * kBit, kBit);
    // A gap of 3 bits (26 µs) starts a new burst.
    const Ps t1 = t0 + 9 * kBit + kBit + 3 * kBit;
    w.pulse(t1, kBit);
    w.pulse(t1 + 3 * kBit, kBit);

    const auto& b = w.sim.irSender->bursts();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].start, t0) << "first rising edge";
    EXPECT_EQ(b[0].pulses, 4);
    EXPECT_EQ(b[0].end, t0 + 10 * kBit);
    // Length = pulses × 26.04 µs; the envelope is 17.36 µs shorter.
    EXPECT_EQ(b[0].lengthPs(), 4 * sim::kPsPerSecond / 38400);
    EXPECT_NEAR(static_cast<double>(b[0].lengthPs() - (b[0].end - b[0].start)), 17361111, 10);
    EXPECT_EQ(b[1].pulses, 2);
    EXPECT_EQ(b[1].start, t1);
    EXPECT_EQ(w.sim.irSender->pulses(), 6u);
    // Text forms: lengths and pauses in µs, or carrier periods and pauses.
    EXPECT_EQ(w.sim.irSender->text(), "m104s9m52");
    EXPECT_EQ(w.sim.irSender->text(sim::IrSender::Unit::CarrierPeriods), "m4s9m2");

    // A space run longer than a bit (break) is one pulse; switching to a
    // channel without the sender ends a pulse in progress.
    w.sim.irSender->clear();
    const Ps t2 = 5000 * kPsPerUs;
    w.at(t2);
    w.sim.adapter.txdChanged(t2, false, true);
    EXPECT_TRUE(w.sim.irSender->lit());
    w.at(t2 + 50 * kPsPerUs);
    w.sim.adapter.modemControlWritten(t2 + 50 * kPsPerUs, 1);
    EXPECT_FALSE(w.sim.irSender->lit());
    ASSERT_EQ(w.sim.irSender->bursts().size(), 1u);
    EXPECT_EQ(w.sim.irSender->bursts()[0].longestPulsePs, 50 * kPsPerUs);
    EXPECT_EQ(w.sim.irSender->bursts()[0].channel, 0);
}

TEST(EventQueue, RunsInTimeOrderLazily) {
    sim::EventQueue q(100);
    std::vector<int> order;
    q.schedule(300, [&] { order.push_back(3); });
    q.schedule(200, [&] { order.push_back(1); });
    q.schedule(200, [&] { order.push_back(2); }); // same time: scheduling order
    const auto dropped = q.schedule(250, [&] { order.push_back(99); });
    q.schedule(50, [&] { order.push_back(0); }); // in the past: runs as now
    q.cancel(dropped);
    EXPECT_EQ(q.pending(), 4u);
    EXPECT_EQ(q.nextTime(), 100);
    q.runUntil(199);
    EXPECT_EQ(order, (std::vector<int>{0}));
    EXPECT_EQ(q.now(), 199);
    // Handlers see their own time and may schedule more, also at the same time.
    q.schedule(200, [&] {
        EXPECT_EQ(q.now(), 200);
        q.schedule(q.now(), [&] { order.push_back(10); });
        q.runUntil(1000); // nested: ignored
    });
    q.runUntil(1000);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 10, 3}));
    EXPECT_EQ(q.now(), 1000);
    q.runUntil(500);
    EXPECT_EQ(q.now(), 1000) << "time never goes back";
    EXPECT_EQ(q.pending(), 0u);
    EXPECT_EQ(q.nextTime(), -1);
}
