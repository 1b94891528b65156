#pragma once
// The simulated adapter driven register by register, without the engine, on
// a virtual clock whose port accesses cost nothing unless a test says so.

#include "platform/VirtualClock.h"
#include "sim/SimAdapter.h"

#include <cstdint>

struct SimRig {
    static platform::VirtualClock::Costs freeAccesses() {
        platform::VirtualClock::Costs c;
        c.portAccessesPerSecond = 0;
        return c;
    }

    explicit SimRig(std::uint16_t base) : base(base), clock(freeAccesses()), sim(clock, base) {}

    void out(int reg, std::uint8_t v) { sim.bus.out(static_cast<std::uint16_t>(base + reg), v); }
    std::uint8_t in(int reg) { return sim.bus.in(static_cast<std::uint16_t>(base + reg)); }
    // Lets time pass to t and processes everything due.
    void at(sim::Ps t) {
        clock.advancePs(t - clock.nowPs());
        sim.sync();
    }

    std::uint16_t base;
    platform::VirtualClock clock;
    sim::SimAdapter sim;
};
