#pragma once
// The adapter's IR sender: an LED on TXD that lights while TXD is at space.
// It records what it emitted as carrier bursts, the way a demodulating
// receiver sees them.
//
// Every space run on TXD is one carrier pulse. A pulse that starts no more
// than maxGapPs after the previous one ended belongs to the same burst (the
// carrier characters leave two bit times, 17.36 µs at 115200 baud, between
// pulses); a longer gap ends the burst. A burst starts at its first rising
// edge (IR on), ends where its last pulse ends, and lasts, for a receiver,
// its pulse count × one carrier period of 26.04 µs (1/38400 s): the envelope
// from first to last edge is 17.36 µs shorter than that.

#include "sim/Adapter.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace sim {

struct IrBurst {
    static constexpr Ps kCarrierPeriodPs = kPsPerSecond / 38400; // 26,041,666 ps

    Ps start = 0;   // first rising edge
    Ps end = 0;     // end of the last pulse
    int pulses = 0; // carrier pulses
    Ps longestPulsePs = 0;
    int channel = 0;

    Ps lengthPs() const { return static_cast<Ps>(pulses) * kPsPerSecond / 38400; }
};

// The sender's log. It grows by a burst a carrier pulse while the program
// sends in real time: it never moves what it holds, as a vector's growth
// would, copying megabytes in the middle of a pulse.
using IrBursts = std::deque<IrBurst>;

class IrSender final : public Device {
public:
    // 2.5 bit times at 115200 baud.
    static constexpr Ps kDefaultMaxGapPs = 5 * kPsPerSecond / (2 * 115200);

    explicit IrSender(Ps maxGapPs = kDefaultMaxGapPs) : maxGapPs_(maxGapPs) {}
    std::string name() const override { return "IR sender"; }

    void onTxd(Ps t, bool mark, bool breakOn) override;

    const IrBursts& bursts() const { return bursts_; }
    std::uint64_t pulses() const { return pulseCount_; }
    bool lit() const { return lit_; }
    void clear();

    // The bursts as "m<on>s<off>m<on>…": with Unit::Microseconds each burst's
    // length in whole µs, with Unit::CarrierPeriods its pulse count; the
    // pauses (from one burst's length end to the next burst's start) always
    // in whole µs, rounded to nearest. Nothing follows the last burst.
    enum class Unit { Microseconds, CarrierPeriods };
    std::string text(Unit unit = Unit::Microseconds) const;

private:
    Ps maxGapPs_;
    int channel_ = 0;
    bool lit_ = false;
    Ps pulseStart_ = 0;
    std::uint64_t pulseCount_ = 0;
    IrBursts bursts_;
};

// Adds a carrier pulse from start to end to the bursts: it belongs to the last
// burst when it starts no more than maxGapPs after that burst ended, else it
// begins a new burst. True when it began a new one.
template <class Bursts>
bool addCarrierPulse(Bursts& bursts, Ps start, Ps end, int channel, Ps maxGapPs) {
    const Ps width = end - start;
    if (bursts.empty() || start - bursts.back().end > maxGapPs) {
        bursts.push_back(IrBurst{start, end, 1, width, channel});
        return true;
    }
    IrBurst& b = bursts.back();
    b.end = end;
    ++b.pulses;
    if (width > b.longestPulsePs) b.longestPulsePs = width;
    return false;
}

// Rounds picoseconds to whole microseconds, halves away from zero.
std::int64_t roundUs(Ps ps);

} // namespace sim
