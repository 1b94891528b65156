#include "sim/IrDetector.h"

#include "sim/IrRemote.h"
#include "sim/SimAdapter.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace sim {

namespace {
// Flicker is generated this far ahead of the latest query.
constexpr std::int64_t kFlickerChunkPs = 50LL * 1000000000LL; // 50 ms
} // namespace

void IrDetector::setConfig(Config config) {
    config_ = config;
}

void IrDetector::addBurst(std::int64_t startPs, std::int64_t endPs, double carrierHz, double duty) {
    if (endPs <= startPs) return;
    if (config_.mode == Mode::Envelope) {
        raw_.push_back({startPs, endPs + config_.decayUs * kPsPerUs});
    } else {
        const double periodPs =
            carrierHz > 0 ? 1e12 / carrierHz : static_cast<double>(endPs - startPs);
        const double highPs = std::clamp(duty, 0.01, 1.0) * periodPs;
        for (std::int64_t k = 0;; ++k) {
            const auto s = startPs + static_cast<std::int64_t>(
                                         std::llround(static_cast<double>(k) * periodPs));
            if (s >= endPs) break;
            const auto e = std::min(endPs, s + std::max<std::int64_t>(1, std::llround(highPs)));
            raw_.push_back({s, e});
        }
    }
    dirty_ = true;
    if (onChange_) onChange_();
}

void IrDetector::addLinePulse(std::int64_t startPs, std::int64_t endPs) {
    if (endPs <= startPs) return;
    raw_.push_back({startPs, endPs});
    dirty_ = true;
    if (onChange_) onChange_();
}

void IrDetector::setFlicker(std::int64_t startPs, std::int64_t periodPs, std::int64_t highPs,
                            std::int64_t endPs) {
    flicker_ = periodPs > 0 && highPs > 0 && highPs < periodPs;
    flickerStart_ = startPs;
    flickerPeriod_ = periodPs;
    flickerHigh_ = highPs;
    flickerEnd_ = endPs;
    flickerGenerated_ = startPs;
    if (onChange_) onChange_();
}

void IrDetector::clear() {
    raw_.clear();
    merged_.clear();
    dirty_ = false;
    cursor_ = 0;
    lastQueryPs_ = -1;
    flicker_ = false;
    lastMsrEdges_ = 0;
    msrRead_ = false;
}

void IrDetector::extendFlicker(std::int64_t ps) {
    if (!flicker_ || ps + kFlickerChunkPs / 2 < flickerGenerated_) return;
    const std::int64_t upTo = ps + kFlickerChunkPs;
    std::int64_t k = (flickerGenerated_ - flickerStart_ + flickerPeriod_ - 1) / flickerPeriod_;
    for (;; ++k) {
        const std::int64_t s = flickerStart_ + k * flickerPeriod_;
        if (s >= upTo || (flickerEnd_ >= 0 && s >= flickerEnd_)) break;
        std::int64_t e = s + flickerHigh_;
        if (flickerEnd_ >= 0) e = std::min(e, flickerEnd_);
        raw_.push_back({s, e});
    }
    flickerGenerated_ = flickerStart_ + k * flickerPeriod_;
    dirty_ = true;
}

void IrDetector::normalise() {
    if (!dirty_) return;
    std::sort(raw_.begin(), raw_.end(),
              [](const Interval& a, const Interval& b) { return a.start < b.start; });
    if (!merged_.empty() && !raw_.empty() && raw_.front().start < merged_.back().start) {
        // Something was added before the latest interval: merge everything.
        std::vector<Interval> all;
        all.reserve(merged_.size() + raw_.size());
        std::merge(merged_.begin(), merged_.end(), raw_.begin(), raw_.end(),
                   std::back_inserter(all),
                   [](const Interval& a, const Interval& b) { return a.start < b.start; });
        merged_.clear();
        raw_.swap(all);
    }
    for (const auto& iv : raw_) {
        if (!merged_.empty() && iv.start <= merged_.back().end)
            merged_.back().end = std::max(merged_.back().end, iv.end);
        else
            merged_.push_back(iv);
    }
    raw_.clear();
    dirty_ = false;
    search_ = true;
}

void IrDetector::seek(std::int64_t ps) {
    extendFlicker(ps);
    normalise();
    if (search_ || ps < lastQueryPs_) {
        cursor_ = static_cast<std::size_t>(
            std::upper_bound(merged_.begin(), merged_.end(), ps,
                             [](std::int64_t t, const Interval& iv) { return t < iv.end; }) -
            merged_.begin());
        search_ = false;
    } else {
        while (cursor_ < merged_.size() && merged_[cursor_].end <= ps)
            ++cursor_;
    }
    lastQueryPs_ = ps;
}

bool IrDetector::active(std::int64_t ps) {
    seek(ps);
    return cursor_ < merged_.size() && merged_[cursor_].start <= ps;
}

std::uint64_t IrDetector::edgesUpTo(std::int64_t ps) {
    const bool a = active(ps);
    return 2 * static_cast<std::uint64_t>(cursor_) + (a ? 1 : 0);
}

std::int64_t IrDetector::lastActivityPs() {
    normalise();
    return merged_.empty() ? -1 : merged_.back().end;
}

std::uint8_t IrDetector::readMsr(std::int64_t ps) {
    const std::uint64_t e = edgesUpTo(ps);
    std::uint8_t v = dsr(ps) ? 0x20 : 0x00;
    if (msrRead_ && e != lastMsrEdges_) v |= 0x02;
    if (!msrRead_ && e != 0) v |= 0x02;
    msrRead_ = true;
    lastMsrEdges_ = e;
    return v;
}

std::int64_t IrDetector::nextEdgeAfter(std::int64_t ps) {
    seek(ps);
    if (cursor_ >= merged_.size()) {
        if (!flicker_) return -1;
        extendFlicker(flickerGenerated_);
        seek(ps);
        if (cursor_ >= merged_.size()) return -1;
    }
    const Interval& iv = merged_[cursor_];
    return iv.start > ps ? iv.start : iv.end;
}

std::size_t IrDetector::intervalCount() {
    normalise();
    return merged_.size();
}

// ---- the detector on the adapter ----

IrDetectorDevice::IrDetectorDevice(IrDetector::Config config, std::uint64_t seed)
    : detector_(config), remote_(std::make_unique<IrRemote>(detector_, seed)) {
    detector_.setOnChange([this] {
        if (attached()) reschedule();
    });
}

IrDetectorDevice::~IrDetectorDevice() = default;

void IrDetectorDevice::pressAfter(const IrEmission& emission, std::int64_t delayUs) {
    remote_->press(emission, now() + delayUs * kPsPerUs);
}

void IrDetectorDevice::onAttached() {
    driveDsr(detector_.dsr(now()));
    reschedule();
}

void IrDetectorDevice::onConnected(Ps t, int channel) {
    remote_->onChannelSelected(channel, t);
}

void IrDetectorDevice::onDisconnected(Ps t) {
    remote_->onChannelSelected(-1, t);
}

void IrDetectorDevice::onModemStatusRead(Ps t) {
    remote_->onMsrRead(t);
}

void IrDetectorDevice::onTxd(Ps, bool, bool) {
    remote_->onTxdActivity();
}

// One event is pending at a time: the next change of the line.
void IrDetectorDevice::reschedule() {
    const Ps t = now();
    const Ps next = detector_.nextEdgeAfter(t);
    if (hasPending_ && pendingAt_ == next) return;
    if (hasPending_) cancel(pending_);
    hasPending_ = next >= 0;
    pendingAt_ = next;
    if (hasPending_) pending_ = schedule(next, [this] { edge(); });
    driveDsr(detector_.dsr(t));
}

void IrDetectorDevice::edge() {
    hasPending_ = false;
    pendingAt_ = -1;
    reschedule();
}

std::shared_ptr<IrDetectorDevice> attachIrDetector(SimAdapter& sim, IrDetector::Config config,
                                                   bool defaultRemote) {
    auto d = std::make_shared<IrDetectorDevice>(config);
    sim.adapter.attach(d, 3);
    if (defaultRemote) d->remote().setDefaultKey(remotes::nec(0x04, 0x08, 3));
    return d;
}

} // namespace sim
