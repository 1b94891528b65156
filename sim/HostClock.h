#pragma once
// The host's clock as the simulated adapter's time base in real time. It
// forwards to the host's clock and keeps what the port bus needs to give the
// simulated PC a time of its own (see PortBus): the host time the program
// spent in the delay loop, and how often the program looked at the host's
// time (performance counter, tick count, sleeping). The engine must run on
// this clock, not on the host's own: with the simulated adapter chosen, it is
// the platform clock.

#include "sim/EventQueue.h"

#include "platform/Clock.h"

#include <atomic>

namespace sim {

class HostClock final : public platform::Clock {
public:
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
        const Ps t0 = host_.nowPs();
        host_.spin(turns);
        spunPs_.fetch_add(host_.nowPs() - t0, std::memory_order_relaxed);
    }
    std::int64_t nowPs() override { return host_.nowPs(); }

    // Host time spent in spin() so far.
    Ps spunPs() const { return spunPs_.load(std::memory_order_relaxed); }
    // Reads of the counter or tick count and sleeps so far.
    std::uint64_t looks() const { return looks_.load(std::memory_order_relaxed); }

private:
    platform::Clock& host_;
    std::atomic<Ps> spunPs_{0};
    std::atomic<std::uint64_t> looks_{0};
};

} // namespace sim
