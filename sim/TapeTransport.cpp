#include "sim/TapeTransport.h"

namespace sim {

std::int32_t TapeTransport::speed() const {
    switch (mode_) {
    case Mode::Play:
    case Mode::Record:
        return 1;
    case Mode::Rewind:
        return -opt_.windSpeed;
    case Mode::FastForward:
        return opt_.windSpeed;
    case Mode::CueForward:
        return opt_.cueSpeed;
    case Mode::CueBack:
        return -opt_.cueSpeed;
    default:
        return 0;
    }
}

bool TapeTransport::request(Command c) {
    if (opt_.noTape) return false;
    if (isRepeat(c)) return false;
    if (opt_.reactionFields <= 0) {
        pending_ = false;
        apply(c);
        return true;
    }
    pending_ = true;
    pendingCommand_ = c;
    due_ = field_ + opt_.reactionFields;
    return true;
}

bool TapeTransport::isRepeat(Command c) const {
    return (pending_ && pendingCommand_ == c) ||
           (applied_ && lastApplied_ == c && appliedField_ == field_);
}

void TapeTransport::field() {
    ++field_;
    if (pending_ && field_ >= due_) {
        pending_ = false;
        apply(pendingCommand_);
    }
    position_ += speed();
    if (opt_.beginning && position_ < *opt_.beginning) {
        position_ = *opt_.beginning;
        if (mode_ != Mode::Stop) {
            mode_ = Mode::Stop;
            if (onModeChanged) onModeChanged(mode_);
        }
    }
}

void TapeTransport::apply(Command c) {
    const Mode vorher = mode_;
    applyMode(c);
    if (mode_ != vorher && onModeChanged) onModeChanged(mode_);
}

void TapeTransport::applyMode(Command c) {
    applied_ = true;
    lastApplied_ = c;
    appliedField_ = field_;
    switch (c) {
    case Command::Play:
        mode_ = Mode::Play;
        break;
    case Command::Stop:
    case Command::Off:
        mode_ = Mode::Stop;
        break;
    case Command::Pause:
        switch (mode_) {
        case Mode::Play:
            mode_ = Mode::Pause;
            break;
        case Mode::Pause:
            mode_ = Mode::Play;
            break;
        case Mode::Record:
            mode_ = Mode::RecordPause;
            break;
        case Mode::RecordPause:
            mode_ = Mode::Record;
            break;
        default:
            break;
        }
        break;
    case Command::Rewind:
        mode_ = Mode::Rewind;
        break;
    case Command::FastForward:
        mode_ = Mode::FastForward;
        break;
    case Command::Record:
        mode_ = Mode::Record;
        break;
    case Command::StepBack:
        mode_ = Mode::StepBack;
        position_ -= 2;
        break;
    case Command::StepForward:
        mode_ = Mode::StepForward;
        position_ += 2;
        break;
    case Command::ResetCounter:
        if (opt_.beginning) *opt_.beginning -= position_;
        position_ = 0;
        break;
    case Command::CueForward:
        mode_ = Mode::CueForward;
        break;
    case Command::CueBack:
        mode_ = Mode::CueBack;
        break;
    }
}

bool CommandCounter::receive(int code, std::int64_t field, int needed) {
    if (code != code_ || field - lastField_ > kMaxGapFields) count_ = 0;
    code_ = code;
    lastField_ = field;
    ++count_;
    if (count_ >= (needed < 1 ? 1 : needed)) {
        count_ = 0;
        return true;
    }
    return false;
}

} // namespace sim
