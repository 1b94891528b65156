#include "sim/PanasonicDeck.h"

#include <cstdlib>

namespace sim {

namespace {

std::uint8_t bcd(std::int32_t n) {
    n = n % 100;
    return static_cast<std::uint8_t>((n / 10) << 4 | (n % 10));
}

constexpr std::uint8_t kPattern[4] = {0, 0x5A, 0xA5, 0x5A};

} // namespace

std::uint8_t PanasonicDeck::status() const {
    if (!tape_.hasTape()) return 0;
    using M = TapeTransport::Mode;
    switch (tape_.mode()) {
    case M::Stop:
        return 0;
    case M::Play:
    case M::CueForward:
    case M::CueBack:
        return 8;
    case M::Pause:
    case M::StepBack:
    case M::StepForward:
        return 9;
    case M::Record:
        return 10;
    case M::RecordPause:
        return 11;
    case M::Rewind:
        return 2;
    case M::FastForward:
        return 3;
    }
    return 0;
}

void PanasonicDeck::startFrame() {
    Ps t = frameStart_;
    for (int r = 0; r <= kRunsPerFrame; ++r) {
        schedule(t, [this, r] { startRun(r); });
        t += r % 16 == 0 ? kLongRunPs : kRunPs;
    }
}

void PanasonicDeck::fillCounter() {
    const std::int32_t p = tape_.position();
    sentPosition_ = p;
    const std::int32_t a = std::abs(p);
    const std::uint8_t sign = p < 0 ? 0x10 : 0;
    bytes_[4] = status();
    // Hours in every other frame, but not next to a change of the second while
    // the tape moves: the frames of the frame before must belong to the same
    // second (in both directions through zero). While winding, every other
    // field can fall next to a change of the second: a frame of hours held
    // back then goes out in the next frame, so that the hours still come.
    const bool nahe_Sekundenwechsel = a % 50 < 2 || a % 50 >= 48;
    const bool spult = std::abs(tape_.speed()) > tape_.options().cueSpeed;
    const bool stundenFaellig = spult ? hoursDue_ : frames_ % 2 == 1;
    if (stundenFaellig && (tape_.speed() == 0 || !nahe_Sekundenwechsel)) {
        hoursDue_ = false;
        bytes_[5] = static_cast<std::uint8_t>(0x20 | sign | (a / (50 * 3600) % 10));
        bytes_[6] = bcd(a / (50 * 60) % 60);
        bytes_[7] = bcd(a / 50 % 60);
    } else {
        hoursDue_ = true;
        bytes_[5] = static_cast<std::uint8_t>(0x60 | sign | (a / (50 * 60) % 10));
        bytes_[6] = bcd(a / 50 % 60);
        bytes_[7] = bcd(a % 50 / 2);
    }
}

void PanasonicDeck::startRun(int r) {
    if (opt_.off) return;
    const bool isLong = r % 16 == 0; // the first run of a byte, or the pause
    dsr_ = !dsr_;
    driveDsr(dsr_);
    if (r < kRunsPerFrame) {
        const int k = r / 16 + 1;
        if (r % 16 == 0 && k == 4)
            fillCounter(); // as it stands now: a command read in byte 2 or 3 already shows
        if (r % 2 == 0) {
            const std::uint8_t value = k <= 3 ? kPattern[k] : bytes_[k];
            const int bit = 7 - (r % 16) / 2;
            driveCts(((value >> bit) & 1) == 0);
        }
    } else {
        completePosition_ = sentPosition_; // the last bit of byte 7 is out
        driveCts(false);
    }
    // Command reception: samples in the middle of runs Y+1, Y+3, ... Y+15 after
    // a long run Y.
    bool wantSample = false;
    if (window_) {
        ++windowRun_;
        wantSample = windowRun_ % 2 == 1 && windowRun_ <= 15;
    } else if (prevLong_) {
        windowRun_ = 1;
        wantSample = true;
    }
    prevLong_ = isLong;
    if (wantSample) {
        const Ps len = r == kRunsPerFrame ? kFieldPs - 7 * (kLongRunPs + 15 * kRunPs)
                       : isLong           ? kLongRunPs
                                          : kRunPs;
        schedule(now() + len / 2, [this] { sample(); });
    }
}

void PanasonicDeck::sample() {
    if (opt_.off) return;
    const bool one = txdMark();
    if (!window_) {
        if (one) return; // idle line: no command starts here
        window_ = true;
        bitsRead_ = 0;
        code_ = 0;
    }
    code_ = static_cast<std::uint8_t>(code_ << 1 | (one ? 1 : 0));
    if (++bitsRead_ == 8) {
        window_ = false;
        command(code_);
    }
}

void PanasonicDeck::command(std::uint8_t code) {
    using C = TapeTransport::Command;
    bool known = true;
    C c = C::Stop;
    switch (code) {
    case 10:
        c = C::Play;
        break;
    case 0:
        c = C::Stop;
        break;
    case 6:
        c = C::Pause;
        break;
    case 2:
        c = C::Rewind;
        break;
    case 3:
        c = C::FastForward;
        break;
    case 8:
        c = C::Record;
        break;
    case 13:
        c = C::StepBack;
        break;
    case 12:
        c = C::StepForward;
        break;
    case 51:
        c = C::ResetCounter;
        break;
    case 61:
        c = C::Off;
        break;
    case 11:
        c = C::CueBack;
        break;
    default:
        known = false;
        break;
    }
    bool obeyed = false;
    if (known) obeyed = accept(c, code);
    log_.push_back(Received{now(), code, obeyed});
}

} // namespace sim
