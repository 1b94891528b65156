// The Control-L deck on its wires: frames on the bus as the UART receives
// them, the CTS edges, and command pairs put on the bus at bit times.

#include "sim/ControlLDeck.h"
#include "sim/SimAdapter.h"

#include "support/SimRig.h"

#include <gtest/gtest.h>

#include <vector>

using sim::ControlLDeck;
using sim::kPsPerUs;
using sim::Ps;

namespace {

constexpr std::uint16_t kBase = 0x3F8;

struct Rig : SimRig {
    explicit Rig(ControlLDeck::Options o = {}) : SimRig(kBase) {
        deck = std::make_shared<ControlLDeck>(o);
        sim.adapter.attach(deck, 1);
        out(3, 0x83);
        out(0, 12);
        out(1, 0);
        out(3, 3); // 9600 8N1
        out(4, 1); // channel 1
    }
    // Polls every 10 µs until t: received bytes (inverted, as the engine keeps
    // them) grouped into frames, and the times of delta-CTS.
    void receiveUntil(Ps t) {
        while (clock.nowPs() < t) {
            at(clock.nowPs() + 10 * kPsPerUs);
            if (in(6) & 0x01) ctsEdges.push_back(clock.nowPs());
            if (in(5) & 0x01) {
                const Ps now = clock.nowPs();
                if (frames.empty() || now - lastByte > 3000 * kPsPerUs) frames.emplace_back();
                frames.back().push_back(static_cast<std::uint8_t>(~in(0)));
                lastByte = now;
            }
        }
    }
    std::shared_ptr<ControlLDeck> deck;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<Ps> ctsEdges;
    Ps lastByte = 0;
};

} // namespace

TEST(ControlLDeck, FramesOfEightBytesOnePerField) {
    ControlLDeck::Options o;
    o.tape.start = 186158; // 1:02:03, 8 units: frame 4
    Rig r(o);
    r.receiveUntil(205 * sim::kPsPerMs);
    ASSERT_GE(r.frames.size(), 10u);
    int kind3 = 0, kind4 = 0;
    for (std::size_t f = 1; f + 1 < r.frames.size(); ++f) {
        const auto& b = r.frames[f];
        ASSERT_EQ(b.size(), 8u) << f;
        EXPECT_EQ(b[0] | b[1] | b[2] | b[3], 0);
        EXPECT_EQ(b[4], 2) << "stopped";
        if (b[5] == 0x30) {
            ++kind3;
            EXPECT_EQ(b[6], 0x03);
            EXPECT_EQ(b[7], 0x02);
        } else {
            ++kind4;
            EXPECT_EQ(b[5], 0x40);
            EXPECT_EQ(b[6], 0x01);
            EXPECT_EQ(b[7], 0x04);
        }
    }
    EXPECT_GE(kind3, 4);
    EXPECT_GE(kind4, 4);

    // CTS toggles at the start of data bit 0 of every byte.
    ASSERT_GE(r.ctsEdges.size(), 72u);
    const Ps f0 = r.deck->frameStart() - 2 * ControlLDeck::kFieldPs;
    for (int b = 0; b < 8; ++b) {
        const Ps soll = f0 + ControlLDeck::byteOffset(b) + ControlLDeck::halfBits(2);
        const auto it = std::lower_bound(r.ctsEdges.begin(), r.ctsEdges.end(), soll);
        ASSERT_NE(it, r.ctsEdges.end());
        EXPECT_LE(*it - soll, 10 * kPsPerUs) << "byte " << b;
    }
}

TEST(ControlLDeck, OffAndNoTape) {
    Rig r;
    r.at(30 * sim::kPsPerMs);
    r.deck->setOff(true);
    r.at(r.clock.nowPs() + 2 * sim::kPsPerMs); // a byte cut short may still arrive
    r.in(0);
    r.in(6);
    r.receiveUntil(r.clock.nowPs() + 100 * sim::kPsPerMs);
    EXPECT_TRUE(r.frames.empty());
    EXPECT_TRUE(r.ctsEdges.empty());
    r.deck->setOff(false);
    r.receiveUntil(r.clock.nowPs() + 60 * sim::kPsPerMs);
    EXPECT_FALSE(r.frames.empty());

    ControlLDeck::Options leer;
    leer.tape.noTape = true;
    Rig s(leer);
    s.receiveUntil(70 * sim::kPsPerMs);
    ASSERT_FALSE(s.frames.empty());
    EXPECT_EQ(s.frames.back().at(4), 0);
}
