#pragma once
// A scripted remote control in front of the IR detector: key presses given as
// duration lists in µs (entry 0 the number of frames, then pulse, pause, ...,
// ended by 0; the closing pause separates the frames), with carrier, frame
// period or repeat code, start times, seeded edge jitter, single glitches and
// a flicker source. It also keeps what it emitted, so that a test can compare
// a learnt command with what was really sent.

#include "sim/IrDetector.h"

#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace sim {

struct IrEmission {
    std::vector<std::int32_t> befehl; // [0] frames, durations from [1], ended by 0
    double carrierHz = 38000.0;
    double duty = 1.0 / 3.0;
    // Start of one frame to the start of the next; 0: each frame is followed
    // by its closing pause.
    std::int64_t framePeriodUs = 0;
    // When not empty, frames after the first send this instead (a repeat code:
    // pulse first and last).
    std::vector<std::int32_t> repeatCode;

    // Durations of the first frame without the closing pause.
    std::vector<std::int32_t> frame() const;
    std::int32_t closingPauseUs() const;
    std::int32_t frames() const { return befehl.empty() ? 0 : befehl[0]; }
};

// Remotes a user may own, with their nominal timings.
namespace remotes {
// NEC: 9000/4500 header, 560/560 (0) and 560/1690 (1) bits LSB first of
// address, ~address, command, ~command, stop pulse; frames every 108 ms.
IrEmission nec(std::uint8_t address, std::uint8_t command, int frames);
// Sony 12 bit: 2400/600 header, 1200 (1) or 600 (0) pulses with 600 pauses,
// 7 command then 5 address bits LSB first; frames every 45 ms.
IrEmission sony12(std::uint8_t address, std::uint8_t command, int frames);
// RC5: 889 µs bi-phase, two start bits, toggle, 5 address and 6 command
// bits MSB first; frames every 113.778 ms.
IrEmission rc5(bool toggle, std::uint8_t address, std::uint8_t command, int frames);
} // namespace remotes

class IrRemote {
public:
    explicit IrRemote(IrDetector& detector, std::uint64_t seed = 1);

    // Each edge is displaced by a uniform amount in [-us, +us].
    void setJitterUs(std::int64_t us) { jitterPs_ = us * 1000000; }
    void reseed(std::uint64_t seed) { rng_.seed(seed); }

    // Start at an absolute time (see IrDetectorDevice::pressAfter for a time
    // relative to now).
    void press(const IrEmission& emission, std::int64_t startPs);
    // Start delayUs after the next selection of the detector's channel (3).
    void pressOnChannel3(const IrEmission& emission, std::int64_t delayUs = 0);
    void glitch(std::int64_t startPs, std::int64_t lengthUs);
    void flicker(std::int64_t startPs, std::int64_t periodUs, std::int64_t highUs,
                 std::int64_t endPs = -1);

    // The default remote of the running simulator: it presses this key when
    // the program starts watching the detector for a capture (tight polling
    // of the modem-status register, with TXD quiet, while channel 3 is
    // selected), once per capture.
    void setDefaultKey(const IrEmission& emission, std::int64_t delayUs = 150000);
    void clearDefaultKey() { hasDefault_ = false; }
    // Tight polling must also have lasted this long before the default key is
    // pressed: a capture watches the detector for seconds, while a device
    // poll of the channel reads it tightly for a few milliseconds only.
    void setCaptureMinimumUs(std::int64_t us) { minTightPs_ = us * kPsPerUs; }

    // Hooks for the adapter.
    void onChannelSelected(int channel, std::int64_t nowPs);
    void onMsrRead(std::int64_t nowPs);
    // TXD moved: an edit line or IR send is talking on the channel, which a
    // capture never does.
    void onTxdActivity() { tightReads_ = 0; }

    struct Burst {
        std::int64_t startPs;
        std::int64_t endPs;
    };
    const std::vector<Burst>& emitted() const { return emitted_; }
    // The emitted bursts as durations in µs (pulse, pause, ..., pulse).
    std::vector<double> emittedDurationsUs() const;
    int pressCount() const { return presses_; }

private:
    std::int64_t jitter();

    IrDetector& detector_;
    std::mt19937_64 rng_;
    std::int64_t jitterPs_ = 0;
    std::vector<Burst> emitted_;
    int presses_ = 0;

    struct Pending {
        IrEmission emission;
        std::int64_t delayUs;
    };
    std::vector<Pending> onChannel3_;
    int channel_ = -1;

    bool hasDefault_ = false;
    IrEmission defaultKey_;
    std::int64_t defaultDelayUs_ = 0;
    std::int64_t lastMsrPs_ = -1;
    std::int64_t tightReads_ = 0;
    std::int64_t tightSincePs_ = 0;
    std::int64_t minTightPs_ = 0;
    bool armed_ = true;
};

} // namespace sim
