#include "sim/IrRemote.h"

#include <algorithm>
#include <limits>

namespace sim {

namespace {
// Reads closer than this count as tight polling; a gap longer than the quiet
// time re-arms the default remote.
constexpr std::int64_t kTightGapPs = 100 * kPsPerUs;
constexpr std::int64_t kTightReads = 2000;
constexpr std::int64_t kRearmGapPs = 50000 * kPsPerUs; // 50 ms
} // namespace

std::vector<std::int32_t> IrEmission::frame() const {
    std::vector<std::int32_t> d;
    for (std::size_t i = 1; i < befehl.size() && befehl[i] != 0; ++i)
        d.push_back(befehl[i]);
    if (d.size() % 2 == 0 && !d.empty()) d.pop_back(); // the closing pause
    return d;
}

std::int32_t IrEmission::closingPauseUs() const {
    std::size_t n = 0;
    for (std::size_t i = 1; i < befehl.size() && befehl[i] != 0; ++i)
        n = i;
    return n >= 2 && n % 2 == 0 ? befehl[n] : 0;
}

namespace remotes {

IrEmission fromFrame(std::vector<std::int32_t> frame, int frames, std::int64_t periodUs,
                     double carrierHz) {
    std::int64_t len = 0;
    for (auto d : frame)
        len += d;
    IrEmission e;
    e.befehl.push_back(frames);
    e.befehl.insert(e.befehl.end(), frame.begin(), frame.end());
    e.befehl.push_back(static_cast<std::int32_t>(std::max<std::int64_t>(periodUs - len, 1)));
    e.befehl.push_back(0);
    e.carrierHz = carrierHz;
    e.framePeriodUs = periodUs;
    return e;
}

IrEmission nec(std::uint8_t address, std::uint8_t command, int frames) {
    std::vector<std::int32_t> f{9000, 4500};
    const std::uint8_t bytes[4] = {address, static_cast<std::uint8_t>(~address), command,
                                   static_cast<std::uint8_t>(~command)};
    for (auto b : bytes)
        for (int k = 0; k < 8; ++k) {
            f.push_back(560);
            f.push_back((b >> k) & 1 ? 1690 : 560);
        }
    f.push_back(560);
    return fromFrame(std::move(f), frames, 108000, 38000.0);
}

IrEmission sony12(std::uint8_t address, std::uint8_t command, int frames) {
    std::vector<std::int32_t> f{2400};
    const std::uint32_t bits =
        (command & 0x7Fu) | (static_cast<std::uint32_t>(address & 0x1F) << 7);
    for (int k = 0; k < 12; ++k) {
        f.push_back(600);
        f.push_back((bits >> k) & 1 ? 1200 : 600);
    }
    return fromFrame(std::move(f), frames, 45000, 40000.0);
}

IrEmission rc5(bool toggle, std::uint8_t address, std::uint8_t command, int frames) {
    // Half-bit levels: a 1 is space then mark, a 0 mark then space.
    std::vector<bool> halves;
    auto bit = [&](bool one) {
        halves.push_back(!one);
        halves.push_back(one);
    };
    bit(true);
    bit(true);
    bit(toggle);
    for (int k = 4; k >= 0; --k)
        bit((address >> k) & 1);
    for (int k = 5; k >= 0; --k)
        bit((command >> k) & 1);
    return fromFrame(halvesToDurations(halves, 889), frames, 113778, 36000.0);
}

std::vector<std::int32_t> halvesToDurations(const std::vector<bool>& halves, std::int32_t halfUs) {
    // Runs of equal halves become durations; the leading space is not seen.
    std::vector<std::int32_t> f;
    std::size_t i = 0;
    while (i < halves.size() && !halves[i])
        ++i;
    while (i < halves.size()) {
        std::size_t j = i;
        while (j < halves.size() && halves[j] == halves[i])
            ++j;
        f.push_back(static_cast<std::int32_t>(j - i) * halfUs);
        i = j;
    }
    if (f.size() % 2 == 0) f.pop_back(); // a trailing space belongs to the gap
    return f;
}

} // namespace remotes

IrRemote::IrRemote(IrDetector& detector, std::uint64_t seed) : detector_(detector), rng_(seed) {}

std::int64_t IrRemote::jitter() {
    if (jitterPs_ <= 0) return 0;
    const auto span = static_cast<std::uint64_t>(2 * jitterPs_ + 1);
    return static_cast<std::int64_t>(rng_() % span) - jitterPs_;
}

void IrRemote::press(const IrEmission& emission, std::int64_t startPs) {
    ++presses_;
    const std::vector<std::int32_t> first = emission.frame();
    const std::int64_t gapUs = emission.closingPauseUs();
    std::int64_t frameStart = startPs;
    std::int64_t lastEnd =
        emitted_.empty() ? std::numeric_limits<std::int64_t>::min() : emitted_.back().endPs;
    const int frames = std::max(emission.frames(), 1);
    for (int f = 0; f < frames; ++f) {
        const std::vector<std::int32_t>& d =
            f > 0 && !emission.repeatCode.empty() ? emission.repeatCode : first;
        std::int64_t t = frameStart;
        std::int64_t len = 0;
        for (std::size_t i = 0; i < d.size(); ++i) {
            const std::int64_t dur = static_cast<std::int64_t>(d[i]) * kPsPerUs;
            if (i % 2 == 0) {
                // Each edge moves on its own; keep the order of the edges.
                std::int64_t s = std::max(t + jitter(), lastEnd + kPsPerUs);
                std::int64_t e = std::max(t + dur + jitter(), s + kPsPerUs);
                detector_.addBurst(s, e, emission.carrierHz, emission.duty);
                emitted_.push_back({s, e});
                lastEnd = e;
            }
            t += dur;
            len += d[i];
        }
        frameStart +=
            (emission.framePeriodUs > 0 ? emission.framePeriodUs : len + gapUs) * kPsPerUs;
    }
}

void IrRemote::pressOnChannel3(const IrEmission& emission, std::int64_t delayUs) {
    onChannel3_.push_back({emission, delayUs});
}

void IrRemote::glitch(std::int64_t startPs, std::int64_t lengthUs) {
    detector_.addLinePulse(startPs, startPs + lengthUs * kPsPerUs);
}

void IrRemote::flicker(std::int64_t startPs, std::int64_t periodUs, std::int64_t highUs,
                       std::int64_t endPs) {
    detector_.setFlicker(startPs, periodUs * kPsPerUs, highUs * kPsPerUs, endPs);
}

void IrRemote::setDefaultKey(const IrEmission& emission, std::int64_t delayUs) {
    hasDefault_ = true;
    defaultKey_ = emission;
    defaultDelayUs_ = delayUs;
    armed_ = true;
}

void IrRemote::onChannelSelected(int channel, std::int64_t nowPs) {
    const bool now3 = channel == 3;
    if (now3 && !onChannel3_.empty()) {
        auto pending = std::move(onChannel3_);
        onChannel3_.clear();
        for (const auto& p : pending)
            press(p.emission, nowPs + p.delayUs * kPsPerUs);
    }
    channel_ = channel;
}

void IrRemote::onMsrRead(std::int64_t nowPs) {
    if (!hasDefault_) return;
    const std::int64_t gap = lastMsrPs_ < 0 ? kRearmGapPs : nowPs - lastMsrPs_;
    lastMsrPs_ = nowPs;
    if (gap >= kRearmGapPs) armed_ = true;
    tightReads_ = gap < kTightGapPs ? tightReads_ + 1 : 0;
    if (tightReads_ <= 1) tightSincePs_ = nowPs;
    if (armed_ && channel_ == 3 && tightReads_ >= kTightReads &&
        nowPs - tightSincePs_ >= minTightPs_) {
        armed_ = false;
        press(defaultKey_, nowPs + defaultDelayUs_ * kPsPerUs);
    }
}

std::vector<double> IrRemote::emittedDurationsUs() const {
    std::vector<double> d;
    for (std::size_t i = 0; i < emitted_.size(); ++i) {
        if (i > 0)
            d.push_back(static_cast<double>(emitted_[i].startPs - emitted_[i - 1].endPs) / 1e6);
        d.push_back(static_cast<double>(emitted_[i].endPs - emitted_[i].startPs) / 1e6);
    }
    return d;
}

} // namespace sim
