#pragma once
// Start-up choice of the port backend (TAVIX_PORTS): direct port access, the
// simulated adapter on the host's clock, or direct access when the process can
// get it and the simulated adapter otherwise.
//
//   platform::setPortAccessOpener(sim::installPortAccess(
//       platform::portModeFromEnvironment(),
//       [](const std::string& line) { Dbg_disp::Debug_WriteLn(line); }));
//
// The returned opener is called with the UART's base address when the engine
// opens port access and after a COM change. It installs the backend with
// platform::setPorts and says which one on stderr and through `report`:
//   direct  direct access, or none (every read 0xFF) with a message when the
//           system refuses it: no in/out instruction runs without permission;
//   sim     the simulated adapter on platform::clock(), moved to the asked
//           base after a COM change;
//   auto    direct when granted, else the simulated adapter.

#include "sim/SimAdapter.h"

#include "platform/Platform.h"

#include <functional>
#include <string>

namespace sim {

using Report = std::function<void(const std::string& line)>;

platform::PortAccessOpener installPortAccess(platform::PortMode mode, Report report = {});

// The simulated adapter that the opener installed (to attach devices to, as
// the service panel's line source); null when no simulated adapter is in use.
SimAdapter* currentSimAdapter();

} // namespace sim
