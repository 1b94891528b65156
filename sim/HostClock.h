#pragma once
// The host's clock as the simulated adapter's time base in real time. It
// forwards to the host's clock and keeps what the port bus needs to give the
// simulated PC a time of its own (see PortBus): the time the program spent in
// the delay loop, and how often the program looked at the host's time
// (performance counter, tick count, sleeping). The engine must run on this
// clock, not on the host's own: with the simulated adapter chosen, it is the
// platform clock.
//
// The simulated PC's delay loop turns at a steady kTurnsPerMs, as a PC's does
// with interrupts off: a host's own loop changes its speed by a factor of two
// and more as other work comes and goes on its cores or its CPU changes
// frequency, so a count of turns calibrated at one moment would last a
// different time at the next (the Control-L sends place a byte a calibrated
// number of turns after a bus edge, to a fraction of a bit). The loop waits
// for its time on the host's clock, so the simulated PC keeps pace with it.

#include "sim/EventQueue.h"

#include "platform/Clock.h"

#include <atomic>

namespace sim {

class HostClock final : public platform::Clock {
public:
    // The simulated PC's delay loop: one turn a nanosecond.
    static constexpr std::int64_t kTurnsPerMs = 1000000;

    explicit HostClock(platform::Clock& host) : host_(host) {}

    std::int64_t performanceCounter() override {
        looks_.fetch_add(1, std::memory_order_relaxed);
        return host_.performanceCounter();
    }
    std::uint32_t tickCount() override {
        looks_.fetch_add(1, std::memory_order_relaxed);
        return host_.tickCount();
    }
    void sleepMs(std::uint32_t ms) override {
        host_.sleepMs(ms);
        looks_.fetch_add(1, std::memory_order_relaxed);
    }
    void spin(std::int32_t turns) override {
        if (turns <= 0) return;
        const Ps d = static_cast<Ps>(turns) * kPsPerMs / kTurnsPerMs;
        waitUntil(host_.nowPs() + d);
        spunPs_.fetch_add(d, std::memory_order_relaxed);
    }
    std::int64_t nowPs() override { return host_.nowPs(); }

    // Busy-waits on the host's clock, as the PC's bus and loop take their time.
    void waitUntil(Ps end) {
        while (host_.nowPs() < end) {
        }
    }

    // The delay loop's time so far.
    Ps spunPs() const { return spunPs_.load(std::memory_order_relaxed); }
    // Reads of the counter or tick count and sleeps so far.
    std::uint64_t looks() const { return looks_.load(std::memory_order_relaxed); }

private:
    platform::Clock& host_;
    std::atomic<Ps> spunPs_{0};
    std::atomic<std::uint64_t> looks_{0};
};

} // namespace sim
