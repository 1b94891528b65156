#pragma once
// A simulated Panasonic edit deck: its clock on DSR (every edge ends a run),
// its data as the CTS level, commands back on TXD (break = 0) in step with the
// clock.
//
// Every field (20 ms) it sends a frame of seven bytes, most significant bit
// first, each bit two clock runs with CTS high for a 0 and low for a 1; the
// first run of every byte is twice as long as the others, and a pause follows
// the frame. Bytes 1 to 3 carry a fixed pattern with many CTS changes, byte 4
// the status (its low nibble the transport state), bytes 5 to 7 the counter:
// kind 11 (units digit of the minutes, seconds, frames) and kind 01 (hours,
// minutes, seconds) alternate, except that a moving tape sends no kind 01
// next to a change of the second (it follows in the next frame).
//
// A command is a byte on TXD that starts in a long run (where the sender's
// synchronisation read stops): the deck samples TXD in the middle of the 1st,
// 3rd, ... 15th run after such a run once it found the line at break in the
// first of them.
//
// Failure modes as for the Control-L deck: commands needed in N frames,
// commands ignored, deck off (no clock).

#include "sim/EditDeck.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct PanasonicReceived {
    Ps at; // end of the command byte
    std::uint8_t code;
    bool obeyed;
};

class PanasonicDeck final : public EditDeck<EditDeckOptions, PanasonicReceived> {
public:
    using Options = EditDeckOptions;
    using Received = PanasonicReceived;

    static constexpr Ps kRunPs = 130 * kPsPerUs;
    static constexpr Ps kLongRunPs = 2 * kRunPs;
    static constexpr int kRunsPerFrame = 7 * 16; // then the pause

    PanasonicDeck() : PanasonicDeck(Options{}) {}
    explicit PanasonicDeck(Options o) : EditDeck(o) {}

    std::string name() const override { return "Panasonic deck"; }
    void setOff(bool off) { opt_.off = off; }

    // The status byte of the current transport state.
    std::uint8_t status() const;
    // The counter of the last frame whose bits are all on the wires (its
    // pause has begun). sentPosition() already holds the frame being sent,
    // whose counter bytes may not have gone out yet.
    std::int32_t completePosition() const { return completePosition_; }

private:
    void startFrame() override;
    void startRun(int r);
    void sample();
    void command(std::uint8_t code);
    void fillCounter();

    bool dsr_ = false;
    std::uint8_t bytes_[8] = {};
    std::int32_t completePosition_ = 0;
    bool hoursDue_ = false; // the next frame carries the hours if it may
    // Command reception.
    bool prevLong_ = false;
    bool window_ = false;
    int windowRun_ = 0;
    int bitsRead_ = 0;
    std::uint8_t code_ = 0;
};

} // namespace sim
