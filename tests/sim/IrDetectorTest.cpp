// The IR detector and the scripted remote: the detector line they give, on
// their own and as a device on channel 3 of the simulated adapter.

#include "sim/IrDetector.h"
#include "sim/IrRemote.h"
#include "sim/SimAdapter.h"

#include "platform/VirtualClock.h"

#include <gtest/gtest.h>

#include <vector>

using sim::IrDetector;
using sim::kPsPerMs;
using sim::kPsPerUs;
using sim::Ps;

namespace {

// The line's changes from t0 to t1 as (time in µs from t0, level).
std::vector<std::pair<double, bool>> kanten(IrDetector& d, Ps t0, Ps t1) {
    std::vector<std::pair<double, bool>> k;
    for (Ps t = d.nextEdgeAfter(t0 - 1); t >= 0 && t <= t1; t = d.nextEdgeAfter(t))
        k.emplace_back(static_cast<double>(t - t0) / 1e6, d.dsr(t));
    return k;
}

std::vector<std::int32_t> durationsOf(const sim::IrEmission& e) {
    return e.frame();
}

} // namespace

TEST(IrDetectorModel, EnvelopeStretchesPulsesByTheDecay) {
    IrDetector d({IrDetector::Mode::Envelope, 80, true});
    const Ps t0 = 10 * kPsPerMs;
    d.addBurst(t0, t0 + 560 * kPsPerUs, 38000, 0.33);
    d.addBurst(t0 + 1120 * kPsPerUs, t0 + 1680 * kPsPerUs, 38000, 0.33);
    // A pause shorter than the decay disappears.
    d.addBurst(t0 + 1730 * kPsPerUs, t0 + 2000 * kPsPerUs, 38000, 0.33);
    const auto k = kanten(d, t0, t0 + 5 * kPsPerMs);
    ASSERT_EQ(k.size(), 4u);
    EXPECT_EQ(k[0], (std::pair<double, bool>{0, true}));
    EXPECT_EQ(k[1], (std::pair<double, bool>{640, false}));
    EXPECT_EQ(k[2], (std::pair<double, bool>{1120, true}));
    EXPECT_EQ(k[3], (std::pair<double, bool>{2080, false}));
    EXPECT_FALSE(d.dsr(t0 - 1));
    EXPECT_TRUE(d.dsr(t0 + 639 * kPsPerUs));
    EXPECT_EQ(d.edgesUpTo(t0 + 5 * kPsPerMs), 4u);

    // Active low: the same edges, the other levels.
    IrDetector inv({IrDetector::Mode::Envelope, 80, false});
    inv.addBurst(t0, t0 + 560 * kPsPerUs, 38000, 0.33);
    EXPECT_TRUE(inv.dsr(t0 - 1));
    EXPECT_FALSE(inv.dsr(t0));
    EXPECT_TRUE(inv.dsr(t0 + 640 * kPsPerUs));
}

TEST(IrDetectorModel, CarrierModeFollowsEachCycle) {
    IrDetector d({IrDetector::Mode::Carrier, 0, true});
    const Ps t0 = kPsPerMs;
    d.addBurst(t0, t0 + 100 * kPsPerUs, 40000, 0.25); // 25 µs period
    const auto k = kanten(d, t0, t0 + kPsPerMs);
    ASSERT_EQ(k.size(), 8u);
    for (std::size_t c = 0; c < 4; ++c) {
        EXPECT_DOUBLE_EQ(k[2 * c].first, 25.0 * static_cast<double>(c));
        EXPECT_DOUBLE_EQ(k[2 * c + 1].first, 25.0 * static_cast<double>(c) + 6.25);
    }
    // The modem-status view: a change between two reads shows as a delta.
    IrDetector g;
    g.addLinePulse(10 * kPsPerUs, 11 * kPsPerUs);
    EXPECT_EQ(g.readMsr(5 * kPsPerUs), 0x00);
    EXPECT_EQ(g.readMsr(20 * kPsPerUs), 0x02) << "a glitch between two reads";
    EXPECT_EQ(g.readMsr(30 * kPsPerUs), 0x00);
}

TEST(IrDetectorModel, FlickerGoesOnAndOn) {
    IrDetector d;
    d.setFlicker(0, 1000 * kPsPerUs, 300 * kPsPerUs);
    // Far beyond the first chunk it still toggles, in order.
    Ps t = 0;
    std::uint64_t n = 0;
    while (t >= 0 && t < 2000 * kPsPerMs) {
        t = d.nextEdgeAfter(t);
        ++n;
    }
    EXPECT_EQ(n, 4000u); // two per period after the first rise
    EXPECT_TRUE(d.dsr(1999 * kPsPerMs + 100 * kPsPerUs));
    EXPECT_FALSE(d.dsr(1999 * kPsPerMs + 400 * kPsPerUs));
}

TEST(IrRemote, ProtocolsAndJitter) {
    const auto nec = sim::remotes::nec(0x04, 0x08, 3);
    auto f = durationsOf(nec);
    ASSERT_EQ(f.size(), 67u);
    EXPECT_EQ(f[0], 9000);
    EXPECT_EQ(f[1], 4500);
    EXPECT_EQ(f[3], 560);  // address bit 0 = 0
    EXPECT_EQ(f[7], 1690); // address bit 2 = 1
    EXPECT_EQ(nec.frames(), 3);
    std::int64_t len = 0;
    for (auto x : f)
        len += x;
    EXPECT_EQ(nec.closingPauseUs(), 108000 - len);

    const auto sony = sim::remotes::sony12(1, 0x15, 3);
    f = durationsOf(sony);
    ASSERT_EQ(f.size(), 25u);
    EXPECT_EQ(f[0], 2400);
    EXPECT_EQ(f[2], 1200); // command bit 0
    EXPECT_EQ(f[4], 600);  // command bit 1

    const auto rc5 = sim::remotes::rc5(false, 5, 12, 1);
    for (auto x : durationsOf(rc5))
        EXPECT_TRUE(x == 889 || x == 1778) << x;
    EXPECT_EQ(durationsOf(rc5).size() % 2, 1u);

    // The shapes that stress a learn: frame lengths, the complemented second
    // frame, repeats without header, and what a receiver module does.
    const auto denon = sim::remotes::denon(0x02, 0x4C);
    f = durationsOf(denon);
    ASSERT_EQ(f.size(), 31u);
    ASSERT_EQ(denon.repeatCode.size(), 31u);
    EXPECT_EQ(f[11], 775);                 // command bit 0 = 0
    EXPECT_EQ(denon.repeatCode[11], 1900); // complemented
    EXPECT_EQ(f[29], 775);                 // the last of the two 0 bits
    EXPECT_EQ(denon.repeatCode[29], 1900);
    EXPECT_EQ(durationsOf(sim::remotes::sharp(1, 2)).size(), 31u);
    const auto recs = durationsOf(sim::remotes::recs80(true, 3, 0x15, 2));
    ASSERT_EQ(recs.size(), 23u);
    EXPECT_EQ(recs[0] + recs[1], 7590); // start bit 1
    EXPECT_EQ(durationsOf(sim::remotes::samsung36(0x0707, 0x02, 1)).size(), 77u);
    EXPECT_EQ(durationsOf(sim::remotes::nokia32(0, 1)).size(), 35u);
    const auto jvc = sim::remotes::jvc(3, 0x21, 3);
    EXPECT_EQ(durationsOf(jvc).size(), 35u);
    EXPECT_EQ(jvc.repeatCode.size(), 33u);
    EXPECT_EQ(durationsOf(sim::remotes::rca(0x0F, 0x21, 1)).size(), 51u);
    EXPECT_EQ(durationsOf(sim::remotes::mitsubishi(0x47, 0x21, 1)).size(), 33u);
    const auto rc6 = durationsOf(sim::remotes::rc6(false, 0, 0xFF, 1));
    EXPECT_EQ(rc6[0], 2664);
    EXPECT_EQ(rc6[1], 888);
    EXPECT_EQ(rc6.size() % 2, 1u);
    const auto verzerrt = sim::remotes::receiverDistorted(nec, 120);
    EXPECT_EQ(durationsOf(verzerrt)[0], 9120);
    EXPECT_EQ(durationsOf(verzerrt)[1], 4380);
    EXPECT_EQ(verzerrt.closingPauseUs(), nec.closingPauseUs() - 120);

    // Jitter: each edge within the bound, the same seed the same press.
    auto emitted = [&](std::uint64_t seed) {
        IrDetector d;
        sim::IrRemote r(d, seed);
        r.setJitterUs(30);
        r.press(nec, 0);
        return r.emittedDurationsUs();
    };
    const auto a = emitted(5);
    EXPECT_EQ(a, emitted(5));
    EXPECT_NE(a, emitted(6));
    ASSERT_EQ(a.size(), 203u);
    double largest = 0;
    for (std::size_t i = 0; i < 67; ++i)
        largest = std::max(largest, std::abs(a[i] - durationsOf(nec)[i]));
    EXPECT_LE(largest, 60.0);
    EXPECT_GT(largest, 20.0);
}

namespace {

struct AdapterRig {
    AdapterRig() : clock(costs()), sim(clock, 0x3F8) {
        det = sim::attachIrDetector(sim, {}, false);
    }
    static platform::VirtualClock::Costs costs() {
        platform::VirtualClock::Costs c;
        c.portAccessesPerSecond = 700000;
        return c;
    }
    std::uint8_t msr() { return sim.bus.in(0x3FE); }
    void channel(std::uint8_t c) { sim.bus.out(0x3FC, c); }
    void waitUs(std::int64_t us) {
        clock.advanceUs(us);
        sim.sync();
    }
    // Reads MSR tightly for the given time; returns the number of changes seen.
    int poll(std::int64_t us) {
        const Ps end = clock.nowPs() + us * kPsPerUs;
        int changes = 0;
        while (clock.nowPs() < end)
            changes += (msr() & 0x02) ? 1 : 0;
        return changes;
    }
    platform::VirtualClock clock;
    sim::SimAdapter sim;
    std::shared_ptr<sim::IrDetectorDevice> det;
};

} // namespace

TEST(IrDetectorOnAdapter, OnlyChannelThreeSeesTheDetector) {
    AdapterRig rig;
    rig.channel(3);
    rig.det->remote().glitch(rig.clock.nowPs() + 100 * kPsPerUs, 500);
    rig.waitUs(300);
    EXPECT_EQ(rig.msr() & 0x22, 0x22) << "DSR active, and the change latched";
    rig.waitUs(1000);
    EXPECT_EQ(rig.msr() & 0x22, 0x02);
    EXPECT_EQ(rig.msr() & 0x22, 0x00);

    rig.channel(1);
    rig.det->remote().glitch(rig.clock.nowPs() + 100 * kPsPerUs, 500);
    rig.waitUs(300);
    EXPECT_EQ(rig.msr() & 0x20, 0x00) << "another channel is selected";

    // A press relative to now, seen once channel 3 is back.
    rig.waitUs(1000);
    rig.channel(3);
    rig.msr();
    rig.det->pressAfter(sim::remotes::sony12(1, 0x15, 1), 2000);
    EXPECT_EQ(rig.poll(1000), 0);
    EXPECT_EQ(rig.poll(30000), 26);
}

TEST(IrDetectorOnAdapter, PressOnNextSelectionOfChannelThree) {
    AdapterRig rig;
    rig.channel(1);
    rig.det->remote().pressOnChannel3(sim::remotes::sony12(1, 0x15, 1), 1000);
    rig.waitUs(50000);
    EXPECT_EQ(rig.det->remote().pressCount(), 0);
    const Ps before = rig.clock.nowPs();
    rig.channel(3);
    const Ps after = rig.clock.nowPs();
    ASSERT_EQ(rig.det->remote().pressCount(), 1);
    EXPECT_GE(rig.det->remote().emitted().front().startPs, before + 1000 * kPsPerUs);
    EXPECT_LE(rig.det->remote().emitted().front().startPs, after + 1000 * kPsPerUs);
    // 13 pulses: 26 changes of the envelope.
    EXPECT_EQ(rig.poll(40000), 26);
}

TEST(IrDetectorOnAdapter, DefaultRemotePressesWhenACaptureStarts) {
    AdapterRig rig;
    rig.det->remote().setDefaultKey(sim::remotes::nec(0x04, 0x08, 3));
    rig.channel(3);
    rig.waitUs(25000);
    // A lamp polled every 100 ms is not a capture.
    for (int i = 0; i < 20; ++i) {
        rig.msr();
        rig.waitUs(100000);
    }
    EXPECT_EQ(rig.det->remote().pressCount(), 0);
    // Tight polling is: three NEC frames (204 changes) arrive, once.
    EXPECT_EQ(rig.poll(1500000), 204);
    EXPECT_EQ(rig.det->remote().pressCount(), 1);
    // After a pause the next capture gets the key again.
    rig.waitUs(200000);
    EXPECT_EQ(rig.poll(1000000), 204);
    EXPECT_EQ(rig.det->remote().pressCount(), 2);

    // An edit line polling its status on channel 3 writes to TXD between
    // its reads: that is no capture.
    rig.waitUs(200000);
    rig.sim.bus.out(0x3FB, 0x83);
    rig.sim.bus.out(0x3F8, 1);
    rig.sim.bus.out(0x3FB, 0x03);
    for (int i = 0; i < 200; ++i) {
        rig.sim.bus.out(0x3F8, 0x55);
        rig.poll(100);
    }
    EXPECT_EQ(rig.det->remote().pressCount(), 2);
}

TEST(IrRemote, RepeatCodeAfterTheFirstFrame) {
    IrDetector d;
    sim::IrRemote r(d, 1);
    auto nec = sim::remotes::nec(0x04, 0x08, 3);
    nec.repeatCode = {9000, 2250, 560};
    r.press(nec, 0);
    const auto e = r.emittedDurationsUs();
    ASSERT_EQ(e.size(), 67u + 1 + 3 + 1 + 3);
    EXPECT_DOUBLE_EQ(e[68], 9000);
    EXPECT_DOUBLE_EQ(e[69], 2250);
    // Frames start every 108 ms.
    EXPECT_EQ(r.emitted()[34].startPs, 108 * kPsPerMs);
    EXPECT_EQ(r.emitted()[36].startPs, 216 * kPsPerMs);
}
