#pragma once
// Where the desk hands a finished send buffer to the engine. Tests may put a
// recorder in between.

#include "engine/Sio.h"

#include <functional>

namespace desk {

using IrSender = std::function<std::int32_t(const Sio::TBefehl&)>;

std::int32_t sendIr(const Sio::TBefehl& befehl);
// Empty restores the engine's send.
void setIrSender(IrSender sender);

} // namespace desk
