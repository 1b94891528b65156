#pragma once
// A deterministic clock: time moves only by the modelled cost of each port
// access, loop turn and counter read, and by explicit advances.

#include "platform/Clock.h"

#include <cstdint>

namespace platform {

class VirtualClock final : public Clock {
public:
    struct Costs {
        std::int64_t portAccessesPerSecond = 700000;
        std::int64_t loopTurnsPerMs = 95000;
        std::int64_t counterReadPs = 25000; // must be > 0 or a deadline poll never ends
    };

    VirtualClock() = default;
    explicit VirtualClock(Costs costs) : costs_(costs) {}

    std::int64_t performanceCounter() override;
    std::uint32_t tickCount() override;
    void sleepMs(std::uint32_t ms) override {
        advancePs(static_cast<std::int64_t>(ms) * 1000000000LL);
    }
    void spin(std::int32_t turns) override;
    std::int64_t nowPs() override { return nowPs_; }
    void chargePortAccess() override;

    void advancePs(std::int64_t ps) {
        if (ps > 0) nowPs_ += ps;
    }
    void advanceUs(std::int64_t us) { advancePs(us * 1000000); }
    void advanceMs(std::int64_t ms) { advancePs(ms * 1000000000LL); }

    Costs& costs() { return costs_; }
    void setTickBase(std::uint32_t ms) { tickBaseMs_ = ms; }
    double nowUs() const { return static_cast<double>(nowPs_) / 1e6; }

    std::int64_t portAccesses() const { return portAccesses_; }
    std::int64_t loopTurns() const { return loopTurns_; }

private:
    Costs costs_;
    std::int64_t nowPs_ = 0;
    std::uint32_t tickBaseMs_ = 0;
    // Remainders of the rate-based costs, so that many small steps add up
    // exactly to the configured rates.
    std::int64_t portRemainder_ = 0;
    std::int64_t turnRemainder_ = 0;
    std::int64_t portAccesses_ = 0;
    std::int64_t loopTurns_ = 0;
};

} // namespace platform
