#include "sim/TapeTransport.h"

#include <gtest/gtest.h>

#include <vector>

using sim::TapeTransport;
using C = TapeTransport::Command;
using M = TapeTransport::Mode;

TEST(TapeTransport, SpeedsOfTheModes) {
    TapeTransport::Options o;
    o.start = 100;
    o.windSpeed = 30;
    o.cueSpeed = 4;
    TapeTransport t(o);
    t.field();
    EXPECT_EQ(t.position(), 100) << "stopped";
    const std::pair<C, int> faelle[] = {{C::Play, 1},         {C::Record, 1},     {C::Rewind, -30},
                                        {C::FastForward, 30}, {C::CueForward, 4}, {C::CueBack, -4},
                                        {C::Stop, 0}};
    for (auto [c, v] : faelle) {
        ASSERT_TRUE(t.request(c));
        const auto p = t.position();
        t.field();
        t.field();
        EXPECT_EQ(t.position() - p, 2 * v) << static_cast<int>(c);
    }
    t.request(C::Play);
    t.request(C::Pause);
    EXPECT_EQ(t.mode(), M::Pause);
    const auto p = t.position();
    t.field();
    EXPECT_EQ(t.position(), p) << "paused";
    t.request(C::StepBack);
    EXPECT_EQ(t.position(), p - 2);
    EXPECT_EQ(t.mode(), M::StepBack);
    t.request(C::StepForward);
    t.request(C::ResetCounter);
    EXPECT_EQ(t.position(), 0);
    EXPECT_EQ(t.mode(), M::StepForward);
    t.request(C::Record);
    t.request(C::Pause);
    EXPECT_EQ(t.mode(), M::RecordPause);
    t.field();
    t.request(C::Pause);
    EXPECT_EQ(t.mode(), M::Record);
    t.request(C::Off);
    EXPECT_EQ(t.mode(), M::Stop);
    t.field();
    t.request(C::Pause); // nothing to pause
    EXPECT_EQ(t.mode(), M::Stop);
}

TEST(TapeTransport, ReactionDelayAndRepeats) {
    TapeTransport::Options o;
    o.reactionFields = 2;
    TapeTransport u(o);
    u.setMode(M::Play);
    ASSERT_TRUE(u.request(C::Pause));
    u.field();
    EXPECT_FALSE(u.request(C::Pause)) << "still waiting";
    EXPECT_EQ(u.mode(), M::Play);
    u.field();
    EXPECT_EQ(u.mode(), M::Pause);
    // The repeat in the very field of the effect is still the same command.
    EXPECT_FALSE(u.request(C::Pause));
    u.field();
    EXPECT_TRUE(u.request(C::Pause)) << "a later pause is a new command";
    // Another command replaces a waiting one.
    EXPECT_TRUE(u.request(C::Stop));
    EXPECT_EQ(u.pending(), C::Stop);
    u.field();
    u.field();
    EXPECT_EQ(u.mode(), M::Stop);
}

TEST(TapeTransport, NoTapeRefusesEverything) {
    TapeTransport::Options o;
    o.noTape = true;
    o.start = 77;
    TapeTransport t(o);
    EXPECT_FALSE(t.hasTape());
    EXPECT_FALSE(t.request(C::Play));
    EXPECT_FALSE(t.request(C::ResetCounter));
    t.field();
    EXPECT_EQ(t.position(), 77);
    EXPECT_EQ(t.mode(), M::Stop);
}

TEST(TapeTransport, WindingBackStopsAtTheBeginning) {
    TapeTransport::Options o;
    o.start = 60;
    o.beginning = 10;
    TapeTransport t(o);
    std::vector<M> modi;
    t.onModeChanged = [&](M m) { modi.push_back(m); };
    t.request(C::Rewind);
    t.field();
    t.field();
    t.field();
    EXPECT_EQ(t.position(), 10);
    EXPECT_EQ(t.mode(), M::Stop);
    EXPECT_EQ(modi, (std::vector<M>{M::Rewind, M::Stop}));
    // A counter reset keeps the beginning where it is on the tape.
    t.request(C::Play);
    t.field();
    t.request(C::ResetCounter);
    t.request(C::CueBack);
    for (int i = 0; i < 3; ++i)
        t.field();
    EXPECT_EQ(t.position(), -1);
    EXPECT_EQ(t.mode(), M::Stop);
}

TEST(TapeTransport, CommandCounter) {
    sim::CommandCounter c;
    EXPECT_TRUE(c.receive(52, 1, 1));
    EXPECT_FALSE(c.receive(52, 2, 3));
    EXPECT_FALSE(c.receive(52, 3, 3));
    EXPECT_TRUE(c.receive(52, 4, 3));
    EXPECT_FALSE(c.receive(52, 5, 3)) << "counting starts again";
    EXPECT_FALSE(c.receive(50, 6, 2)) << "another command";
    EXPECT_FALSE(c.receive(50, 10, 2)) << "after a gap";
    EXPECT_TRUE(c.receive(50, 11, 2));
    EXPECT_TRUE(c.receive(7, 12, 0));
}
