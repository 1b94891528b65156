#include "sim/LineSource.h"

#include <stdexcept>

namespace sim {

Ps Framing::characterPs() const {
    const int bits = 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits;
    return static_cast<Ps>(bits) * kPsPerSecond / baud;
}

void LineSource::onAttached() {
    origin_ = now();
    for (const Step& s : pending_)
        apply(s);
    pending_.clear();
}

void LineSource::add(Step s) {
    if (s.at > end_) end_ = s.at;
    if (attached())
        apply(s);
    else
        pending_.push_back(s);
}

void LineSource::apply(const Step& s) {
    const Ps at = origin_ + s.at;
    switch (s.kind) {
    case Kind::Cts:
        driveCts(s.level, at);
        break;
    case Kind::Dsr:
        driveDsr(s.level, at);
        break;
    case Kind::Rxd:
        driveRxd(s.level, at);
        break;
    }
}

LineSource& LineSource::cts(Ps at, bool active) {
    add({at, Kind::Cts, active});
    return *this;
}

LineSource& LineSource::dsr(Ps at, bool active) {
    add({at, Kind::Dsr, active});
    return *this;
}

LineSource& LineSource::rxd(Ps at, bool mark) {
    add({at, Kind::Rxd, mark});
    return *this;
}

LineSource& LineSource::bytes(Ps at, const std::vector<std::uint8_t>& values, Framing f,
                              Ps interval) {
    if (f.baud <= 0 || f.dataBits < 5 || f.dataBits > 8 || f.stopBits < 1 || f.stopBits > 2)
        throw std::invalid_argument("sim::LineSource: bad framing");
    const Ps step = interval > f.characterPs() ? interval : f.characterPs();
    Ps start = at;
    for (std::uint8_t v : values) {
        // Bit k starts at start + k/baud s, computed from the character's
        // start so that the edges do not drift.
        bool levels[12];
        int n = 0;
        levels[n++] = false;
        int ones = 0;
        for (int i = 0; i < f.dataBits; ++i) {
            levels[n] = ((v >> i) & 1) != 0;
            ones += levels[n++];
        }
        if (f.parity == 'E')
            levels[n++] = (ones & 1) != 0;
        else if (f.parity == 'O')
            levels[n++] = (ones & 1) == 0;
        levels[n++] = true;
        bool prev = true;
        for (int k = 0; k < n; ++k)
            if (levels[k] != prev) {
                rxd(start + static_cast<Ps>(k) * kPsPerSecond / f.baud, levels[k]);
                prev = levels[k];
            }
        start += step;
    }
    if (start > end_) end_ = start;
    return *this;
}

} // namespace sim
