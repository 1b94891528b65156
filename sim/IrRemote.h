#pragma once
// A scripted remote control in front of the IR detector: key presses given as
// duration lists in µs (entry 0 the number of frames, then pulse, pause, ...,
// ended by 0; the closing pause separates the frames), with carrier, frame
// period or repeat code, start times, seeded edge jitter, single glitches and
// a flicker source. It also keeps what it emitted, so that a test can compare
// a learnt command with what was really sent.

#include "sim/IrDetector.h"

#include <algorithm>
#include <cmath>
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

// Whether an IR receiver's decoder takes a measured duration for a nominal
// one: within 35 % of it, and never closer than 150 µs (an edge's jitter).
// The simulated recorder decodes its remote with it, and the adapter window
// names a sent command after the key whose durations it would take.
inline bool receiverAccepts(double measuredUs, double nominalUs) {
    return std::abs(measuredUs - nominalUs) <= std::max(150.0, 0.35 * nominalUs);
}

// Remotes a user may own, with their nominal timings.
namespace remotes {
// Building blocks: a frame (pulse first and last) repeated `frames` times,
// one every periodUs; and the durations of a bi-phase frame given as levels
// of its half bits (true: carrier on), the leading space dropped.
IrEmission fromFrame(std::vector<std::int32_t> frame, int frames, std::int64_t periodUs,
                     double carrierHz);
std::vector<std::int32_t> halvesToDurations(const std::vector<bool>& halves, std::int32_t halfUs);

// NEC: 9000/4500 header, 560/560 (0) and 560/1690 (1) bits LSB first of
// address, ~address, command, ~command, stop pulse; frames every 108 ms.
IrEmission nec(std::uint8_t address, std::uint8_t command, int frames);
// Sony 12 bit: 2400/600 header, 1200 (1) or 600 (0) pulses with 600 pauses,
// 7 command then 5 address bits LSB first; frames every 45 ms.
IrEmission sony12(std::uint8_t address, std::uint8_t command, int frames);
// RC5: 889 µs bi-phase, two start bits, toggle, 5 address and 6 command
// bits MSB first; frames every 113.778 ms.
IrEmission rc5(bool toggle, std::uint8_t address, std::uint8_t command, int frames);

// Shapes that stress a learn (IrProtokolle.cpp); each press sends `frames`
// frames unless said otherwise.
// Sharp: 320 µs flashes, bit times 1 ms (0) and 2 ms (1); 5 address and 8
// command bits LSB first, expansion 1, check 0, a stop flash. A press is a
// normal frame and, 40 ms after its start, the complemented one (command,
// expansion and check bits inverted).
IrEmission sharp(std::uint8_t address, std::uint8_t command);
// Denon: as Sharp with 275 µs flashes, 775 µs (0) and 1900 µs (1) pauses, two
// 0 bits after the command and the complemented frame 65 ms later.
IrEmission denon(std::uint8_t address, std::uint8_t command);
// RECS80: 158 µs flashes, bit times 5060 µs (0) and 7590 µs (1): start 1,
// toggle, 3 address and 6 command bits MSB first; every 121.5 ms.
IrEmission recs80(bool toggle, std::uint8_t address, std::uint8_t command, int frames);
// Samsung 36 bit: 4500/4500 header, 560 µs pulses with 560 (0) or 1690 (1)
// pauses; 16 address bits, a 560 pulse and a 4500 pause, then 20 bits (4
// zero bits, command, ~command) and a stop pulse; every 108 ms.
IrEmission samsung36(std::uint16_t address, std::uint8_t command, int frames);
// Nokia 32 bit: 412/276 header, then 16 two-bit symbols of a 164 µs pulse and
// a 276, 445, 614 or 783 µs pause, MSB first, and a 164 µs stop pulse; every
// 100 ms.
IrEmission nokia32(std::uint32_t code, int frames);
// JVC: 8400/4200 header on the first frame only, 526 µs pulses with 526 (0)
// or 1578 (1) pauses, 8 address and 8 command bits LSB first, a stop pulse;
// every 55 ms, the repeats without header.
IrEmission jvc(std::uint8_t address, std::uint8_t command, int frames);
// NEC with a held key: one frame, then repeat codes (9000/2250/560) every
// 108 ms.
IrEmission necRepeat(std::uint8_t address, std::uint8_t command, int frames);
// RCA: 4000/4000 header, 500 µs pulses with 1000 (0) or 2000 (1) pauses; 4
// address and 8 command bits MSB first, then their complements, a stop
// pulse; every 64 ms.
IrEmission rca(std::uint8_t address, std::uint8_t command, int frames);
// Mitsubishi: 300 µs pulses, bit times 950 (0) and 2050 µs (1), 8 address and
// 8 command bits MSB first, a stop pulse; every 53.6 ms.
IrEmission mitsubishi(std::uint8_t address, std::uint8_t command, int frames);
// RC6 mode 0: 444 µs units, 6/2-unit header, start bit, 3 mode bits, a
// double-length toggle bit, 8 address and 8 command bits MSB first (a 1 is
// mark then space); every 106.7 ms.
IrEmission rc6(bool toggle, std::uint8_t address, std::uint8_t command, int frames);

// What a real receiver module makes of a remote's signal: every pulse
// longer and every pause shorter by extraUs (typically 50 to 150 µs).
IrEmission receiverDistorted(IrEmission e, std::int32_t extraUs);
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
