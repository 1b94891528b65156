#include "sim/ControlLDeck.h"

#include <cstdlib>

namespace sim {

namespace {

std::uint8_t bcd(std::int32_t n) {
    n = n % 100;
    return static_cast<std::uint8_t>((n / 10) << 4 | (n % 10));
}

} // namespace

void ControlLDeck::onTxd(Ps, bool mark, bool) {
    driveRxd(ownMark_ && mark);
}

void ControlLDeck::setOwn(bool mark) {
    ownMark_ = mark;
    driveRxd(ownMark_ && txdMark());
}

void ControlLDeck::setOff(bool off) {
    opt_.off = off;
    if (off) setOwn(true);
}

std::uint8_t ControlLDeck::status() const {
    if (!tape_.hasTape()) return 0;
    using M = TapeTransport::Mode;
    switch (tape_.mode()) {
    case M::Stop:
        return 2;
    case M::Play:
        return 6;
    case M::Pause:
        return 7;
    case M::Record:
        return 4;
    case M::RecordPause:
        return 20;
    case M::Rewind:
        return 131;
    case M::FastForward:
        return 3;
    case M::CueForward:
        return 134;
    case M::CueBack:
        return 150;
    case M::StepBack:
        return 119;
    case M::StepForward:
        return 103;
    }
    return 0;
}

void ControlLDeck::startFrame() {
    for (int b = 0; b < 8; ++b)
        schedule(frameStart_ + byteOffset(b), [this, b] { startByte(b); });
}

void ControlLDeck::startByte(int b) {
    if (opt_.off) return;
    const Ps t0 = now();
    if (b == 4) {
        // Status and counter as they stand now: a command read in bytes 0 and 1
        // of this frame already shows.
        const std::int32_t p = tape_.position();
        sentPosition_ = p;
        const std::int32_t a = std::abs(p);
        const bool moving1 = std::abs(tape_.speed()) == 1;
        // While the tape moves by one unit a field, the kinds follow the count
        // so that at a change of the second the frame that mixes with the
        // frame before reads early, never late: kind 4 (frames) on even
        // counts from zero up, on odd ones below zero.
        const bool kind4 = moving1 ? ((p >= 0) == (a % 2 == 0)) : (frames_ % 2 == 0);
        bytes_[4] = status();
        if (kind4) {
            bytes_[5] = 0x40;
            bytes_[6] = opt_.secondsCounter ? 0 : bcd(a / (50 * 3600));
            bytes_[7] = static_cast<std::uint8_t>((p < 0 ? 0x80 : 0) | bcd(a % 50 / 2));
        } else if (opt_.secondsCounter) {
            bytes_[5] = 0x20;
            bytes_[6] = bcd(a / 50 % 100);
            bytes_[7] = static_cast<std::uint8_t>(a / 50 / 100);
        } else {
            bytes_[5] = 0x30;
            bytes_[6] = bcd(a / 50 % 60);
            bytes_[7] = bcd(a / (50 * 60) % 60);
        }
    }
    const std::uint8_t value = b < 4 ? 0 : bytes_[b];
    // Start bit at space, data bits LSB first (a 1 pulls to space), stop bit mark.
    setOwn(false);
    bool level = false;
    for (int k = 1; k <= 9; ++k) {
        const bool mark = k == 9 || ((value >> (k - 1)) & 1) == 0;
        if (mark != level) {
            level = mark;
            schedule(t0 + halfBits(2 * k), [this, mark] {
                if (!opt_.off) setOwn(mark);
            });
        }
    }
    schedule(t0 + halfBits(2), [this] {
        if (opt_.off) return;
        cts_ = !cts_;
        driveCts(cts_);
    });
    if (b < 2) {
        read_[b] = 0;
        for (int j = 0; j < 8; ++j)
            schedule(t0 + halfBits(2 * (1 + j) + 1), [this, b, j] { sample(b, j); });
    }
}

void ControlLDeck::sample(int b, int j) {
    if (opt_.off) return;
    if (!(ownMark_ && txdMark())) read_[b] = static_cast<std::uint8_t>(read_[b] | (1u << j));
    if (b == 1 && j == 7 && (read_[0] != 0 || read_[1] != 0)) command(read_[0], read_[1]);
}

void ControlLDeck::command(std::uint8_t address, std::uint8_t code) {
    using C = TapeTransport::Command;
    bool known = true;
    C c = C::Stop;
    switch (code) {
    case 52:
        c = C::Play;
        break;
    case 48:
        c = C::Stop;
        break;
    case 50:
        c = C::Pause;
        break;
    case 54:
        c = C::Rewind;
        break;
    case 56:
        c = C::FastForward;
        break;
    case 58:
        c = C::Record;
        break;
    case 96:
        c = C::StepBack;
        break;
    case 98:
        c = C::StepForward;
        break;
    case 140:
        c = C::ResetCounter;
        break;
    case 94:
        c = C::Off;
        break;
    case 82:
        c = C::CueForward;
        break;
    case 80:
        c = C::CueBack;
        break;
    default:
        known = false;
        break;
    }
    bool obeyed = false;
    if (known && address == kAddress) obeyed = accept(c, code);
    log_.push_back(Received{now(), address, code, obeyed});
}

} // namespace sim
