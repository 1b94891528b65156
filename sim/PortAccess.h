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
//           base after a COM change; on the host's clock the platform clock
//           becomes the adapter's HostClock until releasePortAccess();
//   auto    direct when granted, else the simulated adapter.
// The first report of the simulated adapter says why it is in use.

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
// Its devices (sim::PeoplesDevices), and why it is in use (kBecauseAsked or
// kBecauseRefused); null and empty when no simulated adapter is in use.
class PeoplesDevices;
PeoplesDevices* currentPeoplesDevices();
std::string simulatedAdapterReason();
extern const char* const kBecauseAsked;
extern const char* const kBecauseRefused;

// Drops the simulated adapter (on the next open a new one is made on the
// clock of that time): for a program or test whose clock ends before it.
void releasePortAccess();

} // namespace sim
