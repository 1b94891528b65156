// The Panasonic deck on its wires: the clock on DSR, the data as CTS level,
// and command bytes written with the break bit in step with the clock.

#include "sim/PanasonicDeck.h"
#include "sim/SimAdapter.h"

#include "support/SimRig.h"

#include <gtest/gtest.h>

#include <vector>

using sim::kPsPerUs;
using sim::PanasonicDeck;
using sim::Ps;

namespace {

constexpr std::uint16_t kBase = 0x3F8;

struct Run {
    Ps start;
    Ps length;
    bool ctsHigh; // at the run's middle
};

struct Rig : SimRig {
    explicit Rig(PanasonicDeck::Options o = {}) : SimRig(kBase) {
        deck = std::make_shared<PanasonicDeck>(o);
        sim.adapter.attach(deck, 2);
        out(4, 2); // channel 2
        out(3, 0); // 5 data bits, no break
    }
    // Polls the modem status every 5 µs until t and records the runs between
    // delta-DSR edges with the CTS level in their middle.
    std::vector<Run> runsUntil(Ps t) {
        std::vector<Run> runs;
        in(6);
        Ps start = -1;
        std::vector<bool> levels;
        while (clock.nowPs() < t) {
            at(clock.nowPs() + 5 * kPsPerUs);
            const std::uint8_t m = in(6);
            if (m & 0x02) {
                if (start >= 0)
                    runs.push_back({start, clock.nowPs() - start, levels[levels.size() / 2]});
                start = clock.nowPs();
                levels.clear();
            }
            levels.push_back((m & 0x10) != 0);
        }
        return runs;
    }
    std::shared_ptr<PanasonicDeck> deck;
};

// Decodes the frames in a list of runs: the pause is a run above 1 ms.
std::vector<std::vector<std::uint8_t>> frames(const std::vector<Run>& runs) {
    std::vector<std::vector<std::uint8_t>> out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].length < 1000 * kPsPerUs || i + 112 >= runs.size()) continue;
        std::vector<std::uint8_t> f(8, 0);
        for (int k = 1; k <= 7; ++k)
            for (int b = 0; b < 8; ++b) {
                const Run& second = runs[i + 1 + (k - 1) * 16 + 2 * b + 1];
                f[k] = static_cast<std::uint8_t>(f[k] << 1 | (second.ctsHigh ? 0 : 1));
            }
        out.push_back(f);
    }
    return out;
}

// Writes a command byte as the engine's sender does: bit 7 during the long run
// that starts at y, then each bit at the start of the second run of its cell.
void sendCode(Rig& r, const std::vector<Run>& plan, std::size_t y, std::uint8_t code) {
    auto value = [code](int b) { return std::uint8_t((code >> b) & 1 ? 0x00 : 0x40); };
    r.at(plan[y].start + 150 * kPsPerUs);
    r.out(3, value(7));
    for (int b = 6; b >= 0; --b) {
        r.at(plan[y + 3 + 2 * (6 - b)].start + 2 * kPsPerUs);
        r.out(3, value(b));
    }
    r.at(plan[y + 16].start + 10 * kPsPerUs);
    r.out(3, 3);
}

// The runs of the next frame, from its known layout.
std::vector<Run> plan(Ps frameStart) {
    std::vector<Run> p;
    Ps t = frameStart;
    for (int f = 0; f < 2; ++f) {
        for (int r = 0; r < PanasonicDeck::kRunsPerFrame; ++r) {
            const Ps len = r % 16 == 0 ? PanasonicDeck::kLongRunPs : PanasonicDeck::kRunPs;
            p.push_back({t, len, false});
            t += len;
        }
        p.push_back({t, frameStart + (f + 1) * PanasonicDeck::kFieldPs - t, false});
        t = frameStart + (f + 1) * PanasonicDeck::kFieldPs;
    }
    return p;
}

} // namespace

TEST(PanasonicDeck, ClockRunsAndFrames) {
    PanasonicDeck::Options o;
    o.tape.start = 186158; // 1:02:03, 8 units: frame 4
    Rig r(o);
    const auto runs = r.runsUntil(125 * sim::kPsPerMs);
    // 113 runs a field: 7 x 16 and the pause.
    int pausen = 0;
    for (std::size_t i = 1; i < runs.size(); ++i) {
        const double us = static_cast<double>(runs[i].length) / kPsPerUs;
        if (us > 1000) {
            ++pausen;
            EXPECT_NEAR(us, 20000 - 7 * (260 + 15 * 130), 10);
        } else {
            EXPECT_TRUE(std::abs(us - 130) <= 6 || std::abs(us - 260) <= 6) << us;
        }
    }
    EXPECT_GE(pausen, 5);
    const auto f = frames(runs);
    ASSERT_GE(f.size(), 4u);
    int hours = 0, minutes = 0;
    for (const auto& b : f) {
        EXPECT_EQ(b[1], 0x5A);
        EXPECT_EQ(b[2], 0xA5);
        EXPECT_EQ(b[3], 0x5A);
        EXPECT_EQ(b[4], 0x00);
        if ((b[5] & 0x60) == 0x20) {
            ++hours;
            EXPECT_EQ(b[5], 0x21);
            EXPECT_EQ(b[6], 0x02);
            EXPECT_EQ(b[7], 0x03);
        } else {
            ++minutes;
            EXPECT_EQ(b[5], 0x62);
            EXPECT_EQ(b[6], 0x03);
            EXPECT_EQ(b[7], 0x04);
        }
    }
    EXPECT_GE(hours, 2);
    EXPECT_GE(minutes, 2);
}

TEST(PanasonicDeck, ReadsCommandsInStepWithItsClock) {
    Rig r;
    r.at(30 * sim::kPsPerMs);
    const Ps f = r.deck->frameStart() + PanasonicDeck::kFieldPs;
    const auto p = plan(f);
    // Play in the window of byte 2: the status of the same frame shows it.
    sendCode(r, p, 16, 10);
    r.at(f + PanasonicDeck::kFieldPs - 100 * kPsPerUs);
    ASSERT_EQ(r.deck->log().size(), 1u);
    EXPECT_EQ(r.deck->log()[0].code, 10);
    EXPECT_TRUE(r.deck->log()[0].obeyed);
    EXPECT_EQ(r.deck->status(), 8);

    // A command that starts in the pause runs on into the next frame.
    sendCode(r, p, 112, 6);
    r.at(p[130].start);
    ASSERT_EQ(r.deck->log().size(), 2u);
    EXPECT_EQ(r.deck->log()[1].code, 6);
    EXPECT_EQ(r.deck->status(), 9);

    // Off: no clock at all.
    r.deck->setOff(true);
    r.at(r.clock.nowPs() + 1 * sim::kPsPerMs);
    EXPECT_TRUE(r.runsUntil(r.clock.nowPs() + 60 * sim::kPsPerMs).empty());
}
