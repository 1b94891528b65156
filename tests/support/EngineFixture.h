#pragma once
// A fixture that runs the engine on a virtual clock and a scripted register
// fake, with the engine's defaults set and trace lines collected.

#include "engine/Debug.h"
#include "engine/Sio.h"
#include "platform/Platform.h"
#include "platform/ScriptedPortIo.h"
#include "platform/VirtualClock.h"

#include <gtest/gtest.h>

class EngineFixture : public ::testing::Test {
protected:
    EngineFixture() : ports(&clock), backends(&ports, &clock) {
        Dbg_disp::setDebugSink(&memo);
        Dbg_disp::Debug_An = true;
        resetEngine();
        Sio::SIO_Init();
    }
    ~EngineFixture() override {
        Dbg_disp::Debug_An = false;
        Dbg_disp::setDebugSink(nullptr);
    }

    // The module state as at program start: everything zero.
    static void resetEngine() {
        Sio::Port_Daten = Sio::Port_MCR = Sio::Port_LSR = Sio::Port_MSR = 0;
        Sio::Sende_Timeout = Sio::CTS_Zustand = Sio::DSR_Zustand = Sio::RX_Zustand = false;
        Sio::Debug_Statistik = false;
    }

    platform::VirtualClock clock;
    platform::ScriptedPortIo ports;
    platform::ScopedBackends backends;
    Dbg_disp::DebugMemo memo;
};
