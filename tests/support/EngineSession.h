#pragma once
// The engine as at program start, for one test: module state reset, defaults
// set by SIO_Init, debug output on and collected in a memo.

#include "engine/Debug.h"
#include "engine/Sio.h"

struct EngineSession {
    EngineSession() {
        Dbg_disp::setDebugSink(&memo);
        Dbg_disp::Debug_An = true;
        Sio::Modulzustand_zuruecksetzen();
        Sio::SIO_Init();
    }
    ~EngineSession() {
        Dbg_disp::Debug_An = false;
        Dbg_disp::setDebugSink(nullptr);
    }
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    Dbg_disp::DebugMemo memo;
};
