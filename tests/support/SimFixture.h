#pragma once
// A fixture that runs the engine on the simulated adapter on a virtual clock:
// the engine's defaults set, trace lines collected, COM1 (0x3F8). Attach
// further devices to sim.adapter; call sim.sync() before reading a device's
// log so that everything due up to now has happened.

#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/SimAdapter.h"
#include "support/EngineSession.h"

#include <gtest/gtest.h>

class SimFixture : public ::testing::Test {
protected:
    explicit SimFixture(platform::VirtualClock::Costs costs = {})
        : clock(costs), sim(clock, 0x3F8), backends(&sim.bus, &clock) {}

    // Lets virtual time pass without port accesses, then processes the events.
    void advanceUs(std::int64_t us) {
        clock.advanceUs(us);
        sim.sync();
    }

    platform::VirtualClock clock;
    sim::SimAdapter sim;
    platform::ScopedBackends backends;
    EngineSession session;
    Dbg_disp::DebugMemo& memo = session.memo;
};
