#pragma once
// A video recorder without an edit line, driven by IR: its receiver faces the
// adapter's IR sender (channels 0 and 3), decodes the carrier bursts that the
// UART emits and obeys the keys of its own remote control, which speaks NEC
// (header 9000/4500, 32 bits of address, ~address, command, ~command, stop
// pulse) with address kAddress. Keys: Play (1), Stop (2), Pause (3), Record
// (6), input up (10) and input down (11), by the transport codes of the
// program; remoteKey() gives the emission a user's remote sends, for
// learning through the IR detector.
//
// A command acts `reactionPs` after the end of the frame that completes it:
// the framesNeeded-th frame of one press (frames of one press follow each
// other with gaps of at most kRepeatGapPs; by default the first frame acts and
// the repeats change nothing). Up and down switch the input at once to no
// picture (input 0) and to the next or previous input (cyclic over 1 to
// `inputs`) after `inputSettlePs`; a further press while switching restarts
// the settle time from there.
//
// The tape runs on its own field clock (20 ms, from attachment) by a tape
// transport. While it records, the recorder keeps a content map: each segment
// is a stretch of its tape recorded without a break from one input, with the
// tape positions of the recorder and of the player on that input at both
// ends. A segment ends where recording stops, the input changes, or the
// player's playing state changes (sampled at each field of the recorder).
//
// The player on an input is told to the recorder with connectInput(); for the
// simulated edit decks, sourceOf(deck, name) builds that view.
//
// Failure modes: commands needed in N frames of one press, commands ignored,
// recorder off (stand-by: it obeys nothing and its tape stands), no tape
// (transport commands are refused; the input still switches). Every decoded
// press is logged; frames that do not decode are counted.

#include "sim/Adapter.h"
#include "sim/IrRemote.h"
#include "sim/IrSender.h"
#include "sim/TapeTransport.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct IrRecorderOptions {
    // start and noTape count; the recorder's own reaction replaces reactionFields.
    TapeTransport::Options tape{};
    Ps reactionPs = 100 * kPsPerMs;
    Ps inputSettlePs = 1000 * kPsPerMs;
    int inputs = 3;
    int input = 1; // the input at the start
    int framesNeeded = 1;
    bool ignoreCommands = false;
    bool off = false;
};

struct IrRecorderReceived {
    Ps at;      // end of the first frame of the press
    int code;   // transport code of the key
    int frames; // frames of this press
    bool obeyed;
};

// A stretch of the recorder's tape recorded from one input.
struct RecordedSegment {
    Ps startPs = 0, endPs = 0;
    double recorderStart = 0, recorderEnd = 0; // recorder tape position, 1/50 s
    int input = 0;                             // 0: no picture (input switching)
    std::string player;                        // name of the player on the input
    double playerStart = 0, playerEnd = 0;     // its tape position, 1/50 s
    bool playerPlaying = false;                // it played throughout
};

class IrRecorder final : public Device {
public:
    using Options = IrRecorderOptions;
    using Received = IrRecorderReceived;

    static constexpr Ps kFieldPs = 20 * kPsPerMs;
    static constexpr std::uint8_t kAddress = 0x6B;
    // Frames of one press are 108 ms apart (about 40 ms of silence between
    // them); two presses sent by the program are at least 200 ms apart.
    static constexpr Ps kRepeatGapPs = 120 * kPsPerMs;
    // Silence that ends a frame: longer than any pause inside one.
    static constexpr Ps kFrameGapPs = 8 * kPsPerMs;
    static constexpr int kCodes[6] = {1, 2, 3, 6, 10, 11};

    // What the recorder sees of the player on one of its inputs.
    struct Source {
        std::string name;
        std::function<double(Ps)> positionAt; // tape position in 1/50 s at a time
        std::function<bool()> playing;
    };
    // The view of a simulated edit deck: its counter moves by its speed once
    // per field, so between fields the position is interpolated.
    template <class Deck> static Source sourceOf(Deck& deck, std::string name) {
        return Source{std::move(name),
                      [&deck](Ps t) {
                          const auto& tape = deck.transport();
                          return tape.position() + static_cast<double>(tape.speed()) *
                                                       static_cast<double>(t - deck.frameStart()) /
                                                       static_cast<double>(Deck::kFieldPs);
                      },
                      [&deck] {
                          return !deck.options().off &&
                                 deck.transport().mode() == TapeTransport::Mode::Play;
                      }};
    }

    IrRecorder() : IrRecorder(Options{}) {}
    explicit IrRecorder(Options o);
    std::string name() const override { return "IR recorder"; }

    // The key of the recorder's remote for a transport code, held for
    // `frames` frames.
    static IrEmission remoteKey(int code, int frames = 2);

    void connectInput(int input, Source source);

    TapeTransport& transport() { return tape_; }
    const TapeTransport& transport() const { return tape_; }
    Options& options() { return opt_; }
    void setOff(bool off) { opt_.off = off; }
    void setIgnoreCommands(bool on) { opt_.ignoreCommands = on; }
    void setFramesNeeded(int n) { opt_.framesNeeded = n; }

    // The input whose picture reaches the tape; 0 while switching.
    int input() const { return input_; }
    bool recording() const { return tape_.mode() == TapeTransport::Mode::Record; }
    double tapePositionAt(Ps t) const;

    const std::vector<Received>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    int garbledFrames() const { return garbled_; }
    // The segments recorded so far, one still being recorded ending now.
    std::vector<RecordedSegment> contentMap() const;

    void onAttached() override;
    void onTxd(Ps t, bool mark, bool breakOn) override;

private:
    void nextField();
    void pulseEnded(Ps start, Ps end);
    void markMayHaveEnded(Ps pulseEnd);
    void decodeFrame();
    void press(int code, Ps frameStart, Ps frameEnd);
    void act(int code, std::size_t logIndex);
    void noteState(Ps t);
    void closeSegment(Ps t);
    const Source* source(int input) const;

    Options opt_;
    TapeTransport tape_;
    Ps fieldStart_ = 0;
    std::vector<Source> sources_; // index = input - 1

    // Reception
    bool lit_ = false;
    Ps pulseStart_ = 0;
    Ps lastPulseEnd_ = -1;
    std::vector<IrBurst> marks_; // of the frame being received
    Ps lastFrameEnd_ = -1;
    int garbled_ = 0;
    std::vector<Received> log_;

    // Input switching
    int input_;
    int targetInput_;
    std::optional<EventQueue::EventId> settle_;

    std::vector<RecordedSegment> segments_;
    std::optional<RecordedSegment> open_;
};

} // namespace sim
