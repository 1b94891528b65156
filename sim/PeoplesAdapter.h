#pragma once
// The simulated adapter as the programs offer it to a person without the
// hardware: a Control-L camcorder on channel 1 and a Panasonic VCR on channel
// 2 with tapes that run, an IR-controlled recorder facing the IR sender with
// the camcorder on its input 1 and the VCR on input 2, the IR detector with a
// remote on channel 3 whose key the person chooses (a few NEC, Sony and RC5
// keys and the recorder's own), and what the IR sender emitted, grouped by
// command and matched against those keys. Test and bench rigs build their own
// adapters and attach only what they need.
//
//   auto sim = sim::makeSimAdapter(platform::clock(), 0x3F8);
//   sim::PeoplesDevices devices(*sim);
//   devices.choose(2);                  // the next capture learns key 2
//   devices.sendings(5);                // the last five commands sent

#include "sim/ControlLDeck.h"
#include "sim/IrDetector.h"
#include "sim/IrRecorder.h"
#include "sim/IrRemote.h"
#include "sim/IrSender.h"
#include "sim/PanasonicDeck.h"
#include "sim/SimAdapter.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct RemoteKey {
    std::string name;
    IrEmission emission;
};

// Bursts of the IR sender with less than this between them belong to one
// command (frames of one key press lie closer together).
inline constexpr Ps kSendingGapPs = 100 * kPsPerMs;

// One command the IR sender emitted.
struct Sending {
    Ps start = 0;    // first burst, on the adapter's time line
    int bursts = 0;  // carrier bursts
    Ps lengthPs = 0; // first burst's start to the last burst's end
    std::string key; // the remote key whose first frame it matches, or empty
};

// Groups bursts into commands and names the key each one matches: the pulses
// and pauses of the key's first frame, each as a receiver takes it
// (receiverAccepts). At most the last `n` commands, oldest first.
std::vector<Sending> groupSendings(const IrBursts& bursts,
                                   const std::vector<RemoteKey>& keys, std::size_t n);

// Counter text of a tape position in 1/50 s units: " 0:01:02.12" (frames).
std::string counterText(std::int32_t position);
const char* modeName(TapeTransport::Mode mode);

class PeoplesDevices {
public:
    // Attaches the devices to the adapter.
    explicit PeoplesDevices(SimAdapter& sim);

    SimAdapter& sim;
    std::shared_ptr<IrDetectorDevice> detector;
    std::shared_ptr<ControlLDeck> camcorder;
    std::shared_ptr<PanasonicDeck> vcr;
    std::shared_ptr<IrRecorder> recorder;

    const std::vector<RemoteKey>& keys() const { return keys_; }
    // The key the remote presses at the next capture.
    void choose(std::size_t key);
    std::size_t chosen() const { return chosen_; }
    // The last n commands the IR sender emitted (processes what is due first).
    std::vector<Sending> sendings(std::size_t n);
    // Seconds of a time on the adapter's time line since the devices came.
    double secondsSinceStart(Ps t) const { return static_cast<double>(t - start_) / 1e12; }

private:
    std::vector<RemoteKey> keys_;
    std::size_t chosen_ = 0;
    Ps start_ = 0;
};

} // namespace sim
