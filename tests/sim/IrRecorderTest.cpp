// The IR recorder: what it decodes from the carrier on TXD, what it does with
// it, and the content map of its tape.

#include "sim/IrRecorder.h"
#include "sim/ControlLDeck.h"
#include "sim/PeoplesAdapter.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>

#include <cmath>

using sim::kPsPerMs;
using sim::kPsPerUs;
using sim::Ps;
using Mode = sim::TapeTransport::Mode;

namespace {

constexpr Ps kBit = sim::kPsPerSecond / 115200;

struct RecorderRig : SimRig {
    explicit RecorderRig(sim::IrRecorder::Options o = {}) : SimRig(0x3F8) {
        recorder = std::make_shared<sim::IrRecorder>(o);
        sim.adapter.attach(recorder, {0, 3});
    }

    // TXD as the engine's IR send drives it: a pulse of n carrier periods is
    // n space runs of one bit time, three bit times apart; each pause runs to
    // its deadline from the frame's start; frames follow each other at once.
    // Returns the end of the first frame's last pulse.
    Ps send(const sim::IrEmission& e, Ps t0) {
        Ps frameStart = t0, firstEnd = -1;
        for (int f = 0; f < e.frames(); ++f) {
            Ps sum = 0;
            for (std::size_t i = 1; i < e.befehl.size() && e.befehl[i] != 0; ++i) {
                if (i % 2 == 1) {
                    const auto n = std::lround(e.befehl[i] * 0.0384);
                    for (long k = 0; k < n; ++k) {
                        const Ps s = frameStart + sum * kPsPerUs + 3 * k * kBit;
                        at(s);
                        sim.adapter.txdChanged(s, false, false);
                        at(s + kBit);
                        sim.adapter.txdChanged(s + kBit, true, false);
                        if (f == 0) firstEnd = s + kBit;
                    }
                }
                sum += e.befehl[i];
            }
            frameStart += sum * kPsPerUs;
        }
        at(frameStart);
        return firstEnd;
    }
    Ps key(int code, Ps t0, int frames = 2) {
        return send(sim::IrRecorder::remoteKey(code, frames), t0);
    }
    static Ps ms(std::int64_t n) { return n * kPsPerMs; }

    std::shared_ptr<sim::IrRecorder> recorder;
};

// A player whose tape runs from 1000 units at 1 unit per 20 ms while `playing`.
struct FakePlayer {
    bool playing = true;
    sim::IrRecorder::Source source(std::string name) {
        return {std::move(name),
                [](Ps t) { return 1000.0 + static_cast<double>(t) / (20.0 * kPsPerMs); },
                [this] { return playing; }};
    }
};

} // namespace

TEST(IrRecorder, ObeysItsRemoteAndMapsItsTape) {
    RecorderRig r;
    auto deck = std::make_shared<sim::ControlLDeck>();
    r.sim.adapter.attach(deck, 1);
    deck->transport().setPosition(5000);
    deck->transport().setMode(Mode::Play);
    FakePlayer b;
    r.recorder->connectInput(1, sim::IrRecorder::sourceOf(*deck, "deck A"));
    r.recorder->connectInput(2, b.source("player B"));
    const Ps reaction = r.recorder->options().reactionPs;

    // Record acts a reaction after the end of its frame.
    const Ps recEnd = r.key(6, r.ms(1000), 1);
    EXPECT_FALSE(r.recorder->recording());
    r.at(recEnd + reaction - 1);
    EXPECT_FALSE(r.recorder->recording());
    r.at(recEnd + reaction);
    EXPECT_TRUE(r.recorder->recording());
    ASSERT_EQ(r.recorder->log().size(), 1u);
    EXPECT_EQ(r.recorder->log()[0].code, 6);
    EXPECT_TRUE(r.recorder->log()[0].obeyed);
    EXPECT_EQ(r.recorder->log()[0].at, recEnd);

    // Pause ends the first segment: one press of three frames toggles once.
    const Ps pauseEnd = r.key(3, r.ms(3000), 3);
    r.at(pauseEnd + reaction);
    EXPECT_EQ(r.recorder->transport().mode(), Mode::RecordPause);
    const Ps upEnd = r.key(10, r.ms(4000));
    r.at(upEnd + reaction);
    EXPECT_EQ(r.recorder->input(), 0);
    r.at(upEnd + reaction + r.recorder->options().inputSettlePs);
    EXPECT_EQ(r.recorder->input(), 2);
    // Pause again resumes recording, now from player B; B stops meanwhile.
    const Ps resumeEnd = r.key(3, r.ms(6000));
    r.at(r.ms(7000));
    b.playing = false;
    const Ps stopEnd = r.key(2, r.ms(8000));
    r.at(stopEnd + reaction);
    EXPECT_EQ(r.recorder->transport().mode(), Mode::Stop);

    const auto map = r.recorder->contentMap();
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(map[0].input, 1);
    EXPECT_EQ(map[0].player, "deck A");
    EXPECT_EQ(map[0].startPs, recEnd + reaction);
    EXPECT_EQ(map[0].endPs, pauseEnd + reaction);
    EXPECT_TRUE(map[0].playerPlaying);
    // The deck's counter, interpolated between its fields, ran as long as the
    // recording did, and so did the recorder's tape (to within its fields).
    const double fields = static_cast<double>(map[0].endPs - map[0].startPs) / (20.0 * kPsPerMs);
    EXPECT_NEAR(map[0].playerEnd - map[0].playerStart, fields, 1e-6);
    EXPECT_NEAR(map[0].recorderEnd - map[0].recorderStart, fields, 1.0);
    EXPECT_GT(map[0].playerStart, 5000 + 1000 / 20);
    EXPECT_EQ(map[1].input, 2);
    EXPECT_EQ(map[1].player, "player B");
    EXPECT_EQ(map[1].startPs, resumeEnd + reaction);
    EXPECT_NEAR(map[1].playerStart,
                1000.0 + static_cast<double>(map[1].startPs) / (20.0 * kPsPerMs), 1e-6);
    EXPECT_TRUE(map[1].playerPlaying);
    // The player stopped: seen at the recorder's next field.
    EXPECT_GE(map[2].startPs, r.ms(7000));
    EXPECT_LE(map[2].startPs, r.ms(7020));
    EXPECT_FALSE(map[2].playerPlaying);
    EXPECT_EQ(map[2].endPs, stopEnd + reaction);
    EXPECT_GE(map[1].recorderStart, map[0].recorderEnd) << "the tape only moves on";

    // Down from 2 to 1, and from 1 round to 3; presses 200 ms apart are two.
    const Ps d1 = r.key(11, r.ms(9000), 1);
    r.key(11, d1 + r.ms(200), 1);
    r.at(r.ms(12000));
    EXPECT_EQ(r.recorder->input(), 3);
    std::vector<int> codes;
    for (const auto& x : r.recorder->log())
        codes.push_back(x.code);
    EXPECT_EQ(codes, (std::vector<int>{6, 3, 10, 3, 2, 11, 11}));
    EXPECT_EQ(r.recorder->log()[1].frames, 3);
    EXPECT_EQ(r.recorder->garbledFrames(), 0);
    EXPECT_EQ(r.recorder->contentMap().size(), 3u) << "nothing recorded while stopped";
}

TEST(IrRecorder, FailureModesAndForeignCodes) {
    sim::IrRecorder::Options o;
    o.framesNeeded = 3;
    RecorderRig r(o);
    // Too short a press is logged and not obeyed; a long one is.
    r.key(1, r.ms(100), 2);
    r.at(r.ms(800));
    EXPECT_EQ(r.recorder->transport().mode(), Mode::Stop);
    r.key(1, r.ms(1000), 4);
    r.at(r.ms(2000));
    EXPECT_EQ(r.recorder->transport().mode(), Mode::Play);
    ASSERT_EQ(r.recorder->log().size(), 2u);
    EXPECT_FALSE(r.recorder->log()[0].obeyed);
    EXPECT_TRUE(r.recorder->log()[1].obeyed);
    EXPECT_EQ(r.recorder->log()[1].frames, 4);

    // Another remote's frames and a lone glitch decode to nothing.
    r.send(sim::remotes::nec(0x04, 0x46, 3), r.ms(2500));
    r.send(sim::remotes::sony12(0x01, 0x15, 3), r.ms(3000));
    r.at(r.ms(3500));
    r.sim.adapter.txdChanged(r.ms(3500), false, false);
    r.at(r.ms(3501));
    r.sim.adapter.txdChanged(r.ms(3501), true, false);
    r.key(2, r.ms(3600), 3); // the glitch must not spoil the next frame
    r.at(r.ms(4500));
    EXPECT_EQ(r.recorder->transport().mode(), Mode::Stop);
    EXPECT_EQ(r.recorder->log().size(), 3u);
    EXPECT_GE(r.recorder->garbledFrames(), 4);

    // Commands ignored, recorder off: logged, nothing happens.
    r.recorder->setFramesNeeded(1);
    r.recorder->setIgnoreCommands(true);
    r.key(6, r.ms(5000));
    r.recorder->setIgnoreCommands(false);
    r.recorder->setOff(true);
    r.key(1, r.ms(6000));
    r.at(r.ms(7000));
    EXPECT_EQ(r.recorder->transport().mode(), Mode::Stop);
    ASSERT_EQ(r.recorder->log().size(), 5u);
    EXPECT_FALSE(r.recorder->log()[3].obeyed);
    EXPECT_FALSE(r.recorder->log()[4].obeyed);

    // No tape: transport keys are refused, the input still switches.
    sim::IrRecorder::Options nt;
    nt.tape.noTape = true;
    RecorderRig n(nt);
    n.key(6, n.ms(100));
    n.key(10, n.ms(1000));
    n.at(n.ms(3000));
    EXPECT_FALSE(n.recorder->recording());
    EXPECT_EQ(n.recorder->input(), 2);
    ASSERT_EQ(n.recorder->log().size(), 2u);
    EXPECT_FALSE(n.recorder->log()[0].obeyed);
    EXPECT_TRUE(n.recorder->log()[1].obeyed);
    EXPECT_TRUE(n.recorder->contentMap().empty());
}

TEST(IrRecorder, TheAdapterWindowNamesWhatTheRecorderObeys) {
    // A learnt command comes back with its marks longer and its spaces
    // shorter than the remote's (the detector's and the sender's edges):
    // the recorder obeys it, so the window must name the key it came from.
    RecorderRig r;
    sim::IrEmission play = sim::IrRecorder::remoteKey(1, 1);
    for (std::size_t i = 1; i + 1 < play.befehl.size() && play.befehl[i + 1] != 0; ++i)
        play.befehl[i] += i % 2 == 1 ? 170 : -170;
    r.send(play, r.ms(100));
    // Spaces halfway between a 0 and a 1 are nobody's command.
    sim::IrEmission between = sim::IrRecorder::remoteKey(2, 1);
    for (std::size_t i = 4; i + 1 < between.befehl.size() && between.befehl[i + 1] != 0; i += 2)
        between.befehl[i] = 1000;
    r.send(between, r.ms(1000));
    r.at(r.ms(2000));
    ASSERT_EQ(r.recorder->log().size(), 1u);
    EXPECT_TRUE(r.recorder->log()[0].obeyed);
    const std::vector<sim::RemoteKey> keys = {{"Rec Play", sim::IrRecorder::remoteKey(1)},
                                              {"Rec Stop", sim::IrRecorder::remoteKey(2)}};
    const auto sent = sim::groupSendings(r.sim.irSender->bursts(), keys, 2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].key, "Rec Play");
    EXPECT_EQ(sent[1].key, "");
}
