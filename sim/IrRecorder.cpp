#include "sim/IrRecorder.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Header mark, 32 bit marks, stop mark.
constexpr std::size_t kFrameMarks = 34;
constexpr int kCommandBase = 0x40; // command byte = kCommandBase + transport code

TapeTransport::Options withoutReaction(TapeTransport::Options o) {
    o.reactionFields = 0;
    return o;
}

double us(Ps ps) {
    return static_cast<double>(ps) / static_cast<double>(kPsPerUs);
}

bool isCode(int code) {
    return std::find(std::begin(IrRecorder::kCodes), std::end(IrRecorder::kCodes), code) !=
           std::end(IrRecorder::kCodes);
}

} // namespace

IrRecorder::IrRecorder(Options o)
    : opt_(o), tape_(withoutReaction(o.tape)),
      input_(std::clamp(o.input, 1, std::max(o.inputs, 1))), targetInput_(input_) {}

IrEmission IrRecorder::remoteKey(int code, int frames) {
    return remotes::nec(kAddress, static_cast<std::uint8_t>(kCommandBase + code), frames);
}

void IrRecorder::connectInput(int input, Source source) {
    if (input < 1) return;
    if (sources_.size() < static_cast<std::size_t>(input))
        sources_.resize(static_cast<std::size_t>(input));
    sources_[static_cast<std::size_t>(input - 1)] = std::move(source);
}

const IrRecorder::Source* IrRecorder::source(int input) const {
    if (input < 1 || static_cast<std::size_t>(input) > sources_.size()) return nullptr;
    const Source& s = sources_[static_cast<std::size_t>(input - 1)];
    return s.positionAt ? &s : nullptr;
}

double IrRecorder::tapePositionAt(Ps t) const {
    const std::int32_t speed = opt_.off ? 0 : tape_.speed();
    return tape_.position() +
           speed * static_cast<double>(t - fieldStart_) / static_cast<double>(kFieldPs);
}

void IrRecorder::onAttached() {
    fieldStart_ = now();
    schedule(now(), [this] { nextField(); });
}

void IrRecorder::nextField() {
    fieldStart_ = now();
    schedule(fieldStart_ + kFieldPs, [this] { nextField(); });
    if (!opt_.off) tape_.field();
    noteState(now());
}

// ---- Reception ----

void IrRecorder::onTxd(Ps t, bool mark, bool) {
    if (!mark) {
        if (!lit_) {
            lit_ = true;
            pulseStart_ = t;
        }
        return;
    }
    if (!lit_) return;
    lit_ = false;
    pulseEnded(pulseStart_, t);
}

void IrRecorder::pulseEnded(Ps start, Ps end) {
    const bool began =
        addCarrierPulse(marks_, start, end, adapter().channel(), IrSender::kDefaultMaxGapPs);
    if (began && marks_.size() > 1) {
        const IrBurst& prev = marks_[marks_.size() - 2];
        if (start - prev.start - prev.lengthPs() > kFrameGapPs) {
            // What came before the silence never made a frame.
            ++garbled_;
            marks_.erase(marks_.begin(), marks_.end() - 1);
        }
    }
    lastPulseEnd_ = end;
    schedule(end + IrSender::kDefaultMaxGapPs + 1, [this, end] { markMayHaveEnded(end); });
}

void IrRecorder::markMayHaveEnded(Ps pulseEnd) {
    if (lit_ || lastPulseEnd_ != pulseEnd || marks_.empty()) return;
    // A header mark starts a frame, whatever came just before it.
    if (marks_.size() > 1 && receiverAccepts(us(marks_.back().lengthPs()), 9000)) {
        ++garbled_;
        marks_.erase(marks_.begin(), marks_.end() - 1);
    }
    if (marks_.size() == kFrameMarks) decodeFrame();
}

void IrRecorder::decodeFrame() {
    const auto length = [this](std::size_t i) { return us(marks_[i].lengthPs()); };
    const auto space = [this](std::size_t i) {
        return us(marks_[i + 1].start - marks_[i].start - marks_[i].lengthPs());
    };
    bool ok = receiverAccepts(length(0), 9000) && receiverAccepts(space(0), 4500) &&
              receiverAccepts(length(kFrameMarks - 1), 560);
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < 32 && ok; ++k) {
        const double sp = space(k + 1);
        ok = receiverAccepts(length(k + 1), 560) &&
             (receiverAccepts(sp, 560) || receiverAccepts(sp, 1690));
        if (receiverAccepts(sp, 1690)) bits |= 1u << k;
    }
    const unsigned a = bits & 0xFF, na = (bits >> 8) & 0xFF, c = (bits >> 16) & 0xFF,
                   nc = bits >> 24;
    const int code = static_cast<int>(c) - kCommandBase;
    ok = ok && a == kAddress && na == (~a & 0xFFu) && nc == (~c & 0xFFu) && isCode(code);
    const Ps start = marks_.front().start, end = marks_.back().end;
    marks_.clear();
    if (!ok) {
        ++garbled_;
        return;
    }
    press(code, start, end);
}

void IrRecorder::press(int code, Ps frameStart, Ps frameEnd) {
    const bool repeat = !log_.empty() && log_.back().code == code && lastFrameEnd_ >= 0 &&
                        frameStart - lastFrameEnd_ <= kRepeatGapPs;
    lastFrameEnd_ = frameEnd;
    if (!repeat) log_.push_back(Received{frameEnd, code, 0, false});
    Received& r = log_.back();
    ++r.frames;
    if (r.frames != std::max(opt_.framesNeeded, 1) || opt_.ignoreCommands || opt_.off) return;
    r.obeyed = true;
    const std::size_t index = log_.size() - 1;
    schedule(frameEnd + opt_.reactionPs, [this, code, index] { act(code, index); });
}

// ---- Effects ----

void IrRecorder::act(int code, std::size_t logIndex) {
    if (opt_.off) return;
    if (code == 10 || code == 11) {
        const int n = std::max(opt_.inputs, 1);
        targetInput_ = code == 10 ? targetInput_ % n + 1 : (targetInput_ + n - 2) % n + 1;
        input_ = 0;
        noteState(now());
        if (settle_) cancel(*settle_);
        settle_ = schedule(now() + opt_.inputSettlePs, [this] {
            settle_.reset();
            input_ = targetInput_;
            noteState(now());
        });
        return;
    }
    using C = TapeTransport::Command;
    const C c = code == 1 ? C::Play : code == 2 ? C::Stop : code == 3 ? C::Pause : C::Record;
    if (!tape_.request(c) && logIndex < log_.size()) log_[logIndex].obeyed = false;
    noteState(now());
}

void IrRecorder::noteState(Ps t) {
    const bool rec = !opt_.off && recording();
    const Source* s = source(input_);
    const bool playing = s != nullptr && s->playing && s->playing();
    if (open_ && (!rec || open_->input != input_ || open_->playerPlaying != playing))
        closeSegment(t);
    if (!rec || open_) return;
    RecordedSegment g;
    g.startPs = t;
    g.recorderStart = tapePositionAt(t);
    g.input = input_;
    if (s != nullptr) {
        g.player = s->name;
        g.playerStart = s->positionAt(t);
    }
    g.playerPlaying = playing;
    open_ = g;
}

void IrRecorder::closeSegment(Ps t) {
    RecordedSegment g = *open_;
    open_.reset();
    g.endPs = t;
    g.recorderEnd = tapePositionAt(t);
    if (const Source* s = source(g.input)) g.playerEnd = s->positionAt(t);
    segments_.push_back(std::move(g));
}

std::vector<RecordedSegment> IrRecorder::contentMap() const {
    std::vector<RecordedSegment> map = segments_;
    if (open_) {
        RecordedSegment g = *open_;
        g.endPs = now();
        g.recorderEnd = tapePositionAt(g.endPs);
        if (const Source* s = source(g.input)) g.playerEnd = s->positionAt(g.endPs);
        map.push_back(std::move(g));
    }
    return map;
}

} // namespace sim
