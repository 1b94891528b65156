#include "sim/IrSender.h"

namespace sim {

std::int64_t roundUs(Ps ps) {
    return ps >= 0 ? (ps + kPsPerUs / 2) / kPsPerUs : -((-ps + kPsPerUs / 2) / kPsPerUs);
}

void IrSender::onTxd(Ps t, bool mark, bool) {
    if (!mark) {
        if (!lit_) {
            lit_ = true;
            pulseStart_ = t;
            channel_ = adapter().channel();
        }
        return;
    }
    if (!lit_) return;
    lit_ = false;
    ++pulseCount_;
    addCarrierPulse(bursts_, pulseStart_, t, channel_, maxGapPs_);
}

void IrSender::clear() {
    bursts_.clear();
    pulseCount_ = 0;
}

std::string IrSender::text(Unit unit) const {
    std::string s;
    for (std::size_t i = 0; i < bursts_.size(); ++i) {
        const IrBurst& b = bursts_[i];
        if (i > 0)
            s += 's' + std::to_string(
                           roundUs(b.start - bursts_[i - 1].start - bursts_[i - 1].lengthPs()));
        s += 'm';
        s += std::to_string(unit == Unit::CarrierPeriods ? b.pulses : roundUs(b.lengthPs()));
    }
    return s;
}

} // namespace sim
