#pragma once
// Where the desk hands a finished send buffer to the engine.

#include "engine/Sio.h"

namespace desk {

std::int32_t sendIr(const Sio::TBefehl& befehl);

} // namespace desk
