#pragma once
// The host's clock as the simulated adapter's time base in real time. It
// forwards to the host's clock and keeps the host time the program spent in
// the delay loop, which the port bus counts as time of the simulated PC (see
// PortBus). The engine must spin on this clock, not on the host's own: with
// the simulated adapter chosen, it is the platform clock.

#include "sim/EventQueue.h"

#include "platform/Clock.h"

#include <atomic>

namespace sim {

class HostClock final : public platform::Clock {
public:
    explicit HostClock(platform::Clock& host) : host_(host) {}

    std::int64_t performanceCounter() override { return host_.performanceCounter(); }
    std::uint32_t tickCount() override { return host_.tickCount(); }
    void sleepMs(std::uint32_t ms) override { host_.sleepMs(ms); }
    void spin(std::int32_t turns) override {
        if (turns <= 0) return;
        const Ps t0 = host_.nowPs();
        host_.spin(turns);
        spunPs_.fetch_add(host_.nowPs() - t0, std::memory_order_relaxed);
    }
    std::int64_t nowPs() override { return host_.nowPs(); }

    // Host time spent in spin() so far.
    Ps spunPs() const { return spunPs_.load(std::memory_order_relaxed); }

private:
    platform::Clock& host_;
    std::atomic<Ps> spunPs_{0};
};

} // namespace sim
