#pragma once
// The clock seam: the performance counter (always 1,193,182 Hz, the rate every
// constant of both programs assumes), a millisecond tick count, sleeping, and
// the busy-wait loop whose turns the engine counts.

#include <cstdint>

namespace platform {

class Clock {
public:
    static constexpr std::int64_t kCounterFrequency = 1193182;
    static constexpr std::int64_t kPsPerSecond = 1000000000000LL;

    virtual ~Clock() = default;
    virtual std::int64_t performanceCounter() = 0;
    std::int64_t performanceFrequency() const { return kCounterFrequency; }
    // Milliseconds, wrapping like a 32-bit tick count.
    virtual std::uint32_t tickCount() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
    // The count-down loop: one decrement and one conditional jump per turn.
    virtual void spin(std::int32_t turns) = 0;
    // Time base of the simulated adapter, in picoseconds.
    virtual std::int64_t nowPs() = 0;
    // Charged by port backends for each register access (the virtual clock
    // moves by the modelled cost; the real one moves by itself).
    virtual void chargePortAccess() {}

    // Counter ticks for a picosecond time, without overflow.
    static std::int64_t psToCounter(std::int64_t ps) {
        return static_cast<std::int64_t>(static_cast<__int128>(ps) * kCounterFrequency /
                                         kPsPerSecond);
    }
};

// The host's monotonic clock.
class RealClock final : public Clock {
public:
    std::int64_t performanceCounter() override;
    std::uint32_t tickCount() override;
    void sleepMs(std::uint32_t ms) override;
    void spin(std::int32_t turns) override;
    std::int64_t nowPs() override;
};

} // namespace platform
