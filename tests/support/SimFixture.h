#pragma once
// A fixture that runs the engine on the simulated adapter on a virtual clock:
// the engine's defaults set, trace lines collected, COM1 (0x3F8). Attach
// further devices to sim.adapter; call sim.sync() before reading a device's
// log so that everything due up to now has happened.

#include "engine/Debug.h"
#include "engine/Sio.h"
#include "platform/Platform.h"
#include "platform/VirtualClock.h"
#include "sim/SimAdapter.h"

#include <gtest/gtest.h>

class SimFixture : public ::testing::Test {
protected:
    explicit SimFixture(platform::VirtualClock::Costs costs = {})
        : clock(costs), sim(clock, 0x3F8), backends(&sim.bus, &clock) {
        Dbg_disp::setDebugSink(&memo);
        Dbg_disp::Debug_An = true;
        resetEngine();
        Sio::SIO_Init();
    }
    ~SimFixture() override {
        Dbg_disp::Debug_An = false;
        Dbg_disp::setDebugSink(nullptr);
    }

    // The module state as at program start.
    static void resetEngine() {
        Sio::Port_Daten = Sio::Port_MCR = Sio::Port_LSR = Sio::Port_MSR = 0;
        Sio::Sende_Timeout = Sio::CTS_Zustand = Sio::DSR_Zustand = Sio::RX_Zustand = false;
        Sio::Debug_Statistik = false;
    }

    // Lets virtual time pass without port accesses, then processes the events.
    void advanceUs(std::int64_t us) {
        clock.advanceUs(us);
        sim.sync();
    }

    platform::VirtualClock clock;
    sim::SimAdapter sim;
    platform::ScopedBackends backends;
    Dbg_disp::DebugMemo memo;
};
