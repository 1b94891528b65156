#pragma once
// The IR detector of the adapter, on the DSR line of the detector's channel.
// It turns carrier bursts into levels of the line: in envelope mode the line
// is active from a burst's start until its end plus the decay time (pulses
// get longer and pauses shorter by that much); in carrier mode it follows
// every carrier cycle. Either polarity. Bursts, glitches and flicker can be
// added at any time; reads must come in time order to be O(1) amortised.

#include "sim/Adapter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class IrDetector {
public:
    enum class Mode { Envelope, Carrier };

    struct Config {
        Mode mode = Mode::Envelope;
        std::int64_t decayUs = 80; // envelope mode only
        bool activeHigh = true;    // DSR level while the detector sees IR
    };

    IrDetector() = default;
    explicit IrDetector(Config config) : config_(config) {}

    const Config& config() const { return config_; }
    void setConfig(Config config);

    // Carrier on from startPs to endPs (a pulse of the remote).
    void addBurst(std::int64_t startPs, std::int64_t endPs, double carrierHz, double duty);
    // The line active from startPs to endPs whatever the mode (a glitch).
    void addLinePulse(std::int64_t startPs, std::int64_t endPs);
    // A source that toggles the line for ever (or until endPs): active for
    // highPs of every periodPs, from startPs. Generated as time goes on.
    void setFlicker(std::int64_t startPs, std::int64_t periodPs, std::int64_t highPs,
                    std::int64_t endPs = -1);
    void clear();

    // Whether IR is seen at t, and the DSR level that gives.
    bool active(std::int64_t ps);
    bool dsr(std::int64_t ps) { return active(ps) == config_.activeHigh; }
    // Changes of the line up to and including t.
    std::uint64_t edgesUpTo(std::int64_t ps);
    // The last time the line is busy (end of the last interval; flicker not
    // counted), or -1.
    std::int64_t lastActivityPs();

    // The first change of the line after t, or -1 when none is due.
    std::int64_t nextEdgeAfter(std::int64_t ps);
    // Called whenever bursts, pulses or flicker were added.
    void setOnChange(std::function<void()> fn) { onChange_ = std::move(fn); }

    // For register fakes: the modem-status bits of the line at t: 0x20 DSR
    // level, 0x02 when the line changed since the previous call.
    std::uint8_t readMsr(std::int64_t ps);

    std::size_t intervalCount();

private:
    struct Interval {
        std::int64_t start;
        std::int64_t end;
    };
    void normalise();
    void extendFlicker(std::int64_t ps);
    void seek(std::int64_t ps);

    Config config_;
    std::vector<Interval> raw_;    // as added
    std::vector<Interval> merged_; // sorted, disjoint
    bool dirty_ = false;
    bool search_ = false;    // cursor must be found anew
    std::size_t cursor_ = 0; // first merged interval whose end > last query
    std::int64_t lastQueryPs_ = -1;

    // Flicker
    bool flicker_ = false;
    std::int64_t flickerStart_ = 0, flickerPeriod_ = 0, flickerHigh_ = 0, flickerEnd_ = -1;
    std::int64_t flickerGenerated_ = 0; // generated up to here

    std::uint64_t lastMsrEdges_ = 0;
    bool msrRead_ = false;
    std::function<void()> onChange_;
};

class IrRemote;
struct IrEmission;

// The detector as a device of the simulated adapter, hung on the detector's
// channel (3), with its scripted remote. It drives DSR at every change of the
// detector line, and tells the remote of channel selections and of each read
// of the modem-status register (for the default remote).
class IrDetectorDevice final : public Device {
public:
    explicit IrDetectorDevice(IrDetector::Config config = {}, std::uint64_t seed = 1);
    ~IrDetectorDevice() override;
    std::string name() const override { return "IR detector"; }

    IrDetector& detector() { return detector_; }
    IrRemote& remote() { return *remote_; }
    // A press of the remote delayUs after the adapter's now.
    void pressAfter(const IrEmission& emission, std::int64_t delayUs);

    void onAttached() override;
    void onConnected(Ps t, int channel) override;
    void onDisconnected(Ps t) override;
    void onModemStatusRead(Ps t) override;
    void onTxd(Ps t, bool mark, bool breakOn) override;

private:
    void reschedule();
    void edge();

    IrDetector detector_;
    std::unique_ptr<IrRemote> remote_;
    EventQueue::EventId pending_{};
    bool hasPending_ = false;
    Ps pendingAt_ = -1;
};

struct SimAdapter;
// Hangs a detector on channel 3 of the adapter. With a default key, the
// remote presses it whenever the program starts a capture (tight polling of
// the modem-status register), so that learning works without hardware.
std::shared_ptr<IrDetectorDevice> attachIrDetector(SimAdapter& sim, IrDetector::Config config = {},
                                                   bool defaultRemote = true);

} // namespace sim
