#include "sim/PeoplesAdapter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

// Reaction delays in fields from an accepted command to its effect, as decks
// of these kinds show them.
constexpr int kCamcorderReactionFields = 5;
constexpr int kVcrReactionFields = 8;
constexpr std::int64_t kCaptureMinimumUs = 100000;

bool matches(const IrBursts& bursts, std::size_t first, std::size_t end,
             const IrEmission& key) {
    const std::vector<std::int32_t> frame = key.frame();
    if (frame.empty() || (end - first) * 2 - 1 < frame.size()) return false;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const IrBurst& b = bursts[first + i / 2];
        const double us =
            i % 2 == 0
                ? static_cast<double>(b.lengthPs()) / 1e6
                : static_cast<double>(bursts[first + i / 2 + 1].start - (b.start + b.lengthPs())) /
                      1e6;
        if (!receiverAccepts(us, frame[i])) return false;
    }
    return true;
}

} // namespace

std::vector<Sending> groupSendings(const IrBursts& bursts,
                                   const std::vector<RemoteKey>& keys, std::size_t n) {
    // Walk back from the end to the starts of the last n commands.
    std::vector<std::size_t> starts;
    std::size_t i = bursts.size();
    while (i > 0 && starts.size() < n) {
        std::size_t s = i - 1;
        while (s > 0 && bursts[s].start - bursts[s - 1].end < kSendingGapPs)
            --s;
        starts.push_back(s);
        i = s;
    }
    std::reverse(starts.begin(), starts.end());
    std::vector<Sending> out;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t first = starts[k];
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : bursts.size();
        Sending s;
        s.start = bursts[first].start;
        s.bursts = static_cast<int>(end - first);
        s.lengthPs = bursts[end - 1].end - s.start;
        for (const RemoteKey& key : keys)
            if (matches(bursts, first, end, key.emission)) {
                s.key = key.name;
                break;
            }
        out.push_back(std::move(s));
    }
    return out;
}

std::string counterText(std::int32_t position) {
    const std::int64_t p = std::abs(static_cast<std::int64_t>(position));
    char text[32];
    std::snprintf(text, sizeof text, "%c%lld:%02lld:%02lld.%02lld", position < 0 ? '-' : ' ',
                  static_cast<long long>(p / 180000), static_cast<long long>(p / 3000 % 60),
                  static_cast<long long>(p / 50 % 60), static_cast<long long>(p % 50 / 2));
    return text;
}

const char* modeName(TapeTransport::Mode mode) {
    using M = TapeTransport::Mode;
    switch (mode) {
    case M::Stop:
        return "Stop";
    case M::Play:
        return "Play";
    case M::Pause:
        return "Pause";
    case M::Record:
        return "Record";
    case M::RecordPause:
        return "Record pause";
    case M::Rewind:
        return "Rewind";
    case M::FastForward:
        return "Fast forward";
    case M::CueForward:
        return "Cue forward";
    case M::CueBack:
        return "Cue back";
    case M::StepBack:
        return "Step back";
    case M::StepForward:
        return "Step forward";
    }
    return "?";
}

PeoplesDevices::PeoplesDevices(SimAdapter& s) : sim(s) {
    sim.sync();
    start_ = sim.clock.nowPs();

    keys_ = {
        {"NEC Power", remotes::nec(0x04, 0x08, 3)},  {"NEC Vol+", remotes::nec(0x04, 0x02, 3)},
        {"NEC Vol-", remotes::nec(0x04, 0x03, 3)},   {"Sony Power", remotes::sony12(1, 21, 3)},
        {"Sony Ch+", remotes::sony12(1, 16, 3)},     {"RC5 Mute", remotes::rc5(false, 0, 13, 2)},
        {"RC5 Vol+", remotes::rc5(false, 0, 16, 2)}, {"Rec Play", IrRecorder::remoteKey(1)},
        {"Rec Stop", IrRecorder::remoteKey(2)},      {"Rec Pause", IrRecorder::remoteKey(3)},
        {"Rec Record", IrRecorder::remoteKey(6)},    {"Rec Up", IrRecorder::remoteKey(10)},
        {"Rec Down", IrRecorder::remoteKey(11)},
    };

    // A camcorder with a recorded tape a little way in, a VCR with a tape
    // further on; both obey after their usual delay.
    ControlLDeck::Options cam;
    cam.tape.start = 5 * 50;
    cam.tape.reactionFields = kCamcorderReactionFields;
    camcorder = std::make_shared<ControlLDeck>(cam);
    PanasonicDeck::Options vcrOptions;
    vcrOptions.tape.start = 30 * 50;
    vcrOptions.tape.reactionFields = kVcrReactionFields;
    vcr = std::make_shared<PanasonicDeck>(vcrOptions);
    sim.attach(camcorder, {1});
    sim.attach(vcr, {2});
    recorder = std::make_shared<IrRecorder>();
    recorder->connectInput(1, IrRecorder::sourceOf(*camcorder, "camcorder"));
    recorder->connectInput(2, IrRecorder::sourceOf(*vcr, "VCR"));
    sim.attach(recorder, {0, 3});

    detector = attachIrDetector(sim, {}, false);
    // The video window polls the detector's channel for edit devices now and
    // then; only a capture presses the key.
    detector->remote().setCaptureMinimumUs(kCaptureMinimumUs);
    choose(0);
}

void PeoplesDevices::choose(std::size_t key) {
    if (key >= keys_.size()) return;
    chosen_ = key;
    detector->remote().setDefaultKey(keys_[key].emission);
}

std::vector<Sending> PeoplesDevices::sendings(std::size_t n) {
    sim.sync();
    return groupSendings(sim.irSender->bursts(), keys_, n);
}

} // namespace sim
