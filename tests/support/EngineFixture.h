#pragma once
// A fixture that runs the engine on a virtual clock and a scripted register
// fake, with the engine's defaults set and trace lines collected.

#include "platform/Platform.h"
#include "platform/ScriptedPortIo.h"
#include "platform/VirtualClock.h"
#include "support/EngineSession.h"

#include <gtest/gtest.h>

class EngineFixture : public ::testing::Test {
protected:
    EngineFixture() : ports(&clock), backends(&ports, &clock) {}

    platform::VirtualClock clock;
    platform::ScriptedPortIo ports;
    platform::ScopedBackends backends;
    EngineSession session;
    Dbg_disp::DebugMemo& memo = session.memo;
};
