#pragma once
// What the simulated edit decks share: a tape transport, the failure modes
// (commands needed in N frames, commands ignored, deck off), the log of the
// commands received, and the frame clock of one frame per field.

#include "sim/Adapter.h"
#include "sim/TapeTransport.h"

#include <cstdint>
#include <vector>

namespace sim {

struct EditDeckOptions {
    TapeTransport::Options tape{};
    int framesNeeded = 1;
    bool ignoreCommands = false;
    bool off = false;
};

template <class Options, class Received> class EditDeck : public Device {
public:
    static constexpr Ps kFieldPs = 20 * kPsPerMs;

    explicit EditDeck(Options o) : opt_(o), tape_(o.tape) {}

    TapeTransport& transport() { return tape_; }
    const TapeTransport& transport() const { return tape_; }
    Options& options() { return opt_; }
    void setIgnoreCommands(bool on) { opt_.ignoreCommands = on; }
    void setFramesNeeded(int n) { opt_.framesNeeded = n; }

    const std::vector<Received>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    std::int64_t frames() const { return frames_; }
    // Start of the current frame.
    Ps frameStart() const { return frameStart_; }
    // The counter that the frame now on the wires reports.
    std::int32_t sentPosition() const { return sentPosition_; }

    void onAttached() override {
        frameStart_ = now();
        schedule(now(), [this] { nextField(); });
    }

protected:
    // Puts the current frame's wire events on the time line from frameStart_;
    // called only while the deck is on and its channel is selected.
    virtual void startFrame() = 0;

    // A command the deck understood: obeyed unless ignored, a repeat of one
    // still pending, or not yet received in enough frames.
    bool accept(TapeTransport::Command c, int code) {
        return !opt_.ignoreCommands && !tape_.isRepeat(c) &&
               counter_.receive(code, frames_, opt_.framesNeeded) && tape_.request(c);
    }

    Options opt_;
    TapeTransport tape_;
    CommandCounter counter_;
    std::vector<Received> log_;
    Ps frameStart_ = 0;
    std::int64_t frames_ = 0;
    std::int32_t sentPosition_ = 0;

private:
    void nextField() {
        frameStart_ = now();
        schedule(frameStart_ + kFieldPs, [this] { nextField(); });
        if (opt_.off) return; // no power: the transport stands and the wires stay idle
        ++frames_;
        tape_.field();
        if (connected()) // nobody sees the wires otherwise: the tape runs on quietly
            startFrame();
    }
};

} // namespace sim
