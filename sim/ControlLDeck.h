#pragma once
// A simulated Control-L deck on one open-collector bus line at 9600 baud.
//
// Every field (20 ms) it puts a frame of eight bytes on the bus, each followed
// by a short idle gap, then leaves a pause. A byte is a UART character with the logical bits
// inverted (a 1 pulls the line to space). The controller fills bytes 0 and 1:
// the deck leaves their data bits at mark and reads them from the merged line
// at mid-bit; the UART receives the merged line too (its echo). The deck
// toggles CTS at the start of data bit 0 of every byte. Byte 4 is the status,
// byte 5 the counter kind in its high nibble: kind 3 (seconds, minutes in BCD)
// and kind 4 (hours in BCD; bit 7 sign, frames in BCD) alternate, so that a
// full position needs two frames; as a seconds counter kind 2 takes the place
// of kind 3.
//
// Failure modes: commands needed in N frames (the deck acts on a command once
// it received it in N frames in a row), commands ignored, deck off (the line
// stays idle and CTS still). Every command pair it read is logged with its time.

#include "sim/EditDeck.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct ControlLOptions : EditDeckOptions {
    // The counter as seconds only: kind 2 (seconds in BCD, hundreds of
    // seconds as a number) instead of kind 3; kind 4 then carries hour 0.
    bool secondsCounter = false;
};

struct ControlLReceived {
    Ps at; // end of the command byte
    std::uint8_t address;
    std::uint8_t command;
    bool obeyed; // handed to the transport (not refused, not ignored)
};

class ControlLDeck final : public EditDeck<ControlLOptions, ControlLReceived> {
public:
    using Options = ControlLOptions;
    using Received = ControlLReceived;

    static constexpr int kBaud = 9600;
    static constexpr std::uint8_t kAddress = 24;
    // Idle time after each byte: the controller's address character, which
    // starts three bits into byte 0, must be out before the command character
    // can start in byte 1.
    static constexpr Ps kByteGapPs = 400 * kPsPerUs;

    ControlLDeck() : ControlLDeck(Options{}) {}
    explicit ControlLDeck(Options o) : EditDeck(o) {}

    std::string name() const override { return "Control-L deck"; }
    void onTxd(Ps t, bool mark, bool breakOn) override;
    void setOff(bool off);

    // The status byte of the current transport state.
    std::uint8_t status() const;

    static Ps halfBits(int n) { return static_cast<Ps>(n) * kPsPerSecond / (2 * kBaud); }
    // Start of byte b from the frame's start.
    static Ps byteOffset(int b) { return b * (halfBits(20) + kByteGapPs); }

private:
    void startFrame() override;
    void startByte(int b);
    void sample(int b, int j);
    void setOwn(bool mark);
    void command(std::uint8_t address, std::uint8_t code);

    bool ownMark_ = true;
    bool cts_ = false;
    std::uint8_t bytes_[8] = {};
    std::uint8_t read_[2] = {};
};

} // namespace sim
