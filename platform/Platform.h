#pragma once
// The current backends of the seams. The programs' main() and the tests install
// them; the engine and the forms reach the hardware and the time only here.

#include "platform/Clock.h"
#include "platform/PortIo.h"

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

namespace detail {
extern PortIo* currentPorts;
extern Clock* currentClock;
} // namespace detail

inline PortIo& ports() {
    return *detail::currentPorts;
}
inline Clock& clock() {
    return *detail::currentClock;
}

// Not owning; null restores the default (no ports: reads 0xFF, writes go
// nowhere; the host's clock).
void setPorts(PortIo* io);
void setClock(Clock* clock);

// Installs both for the lifetime of a scope and restores the previous ones.
class ScopedBackends {
public:
    ScopedBackends(PortIo* io, Clock* clk);
    ~ScopedBackends();
    ScopedBackends(const ScopedBackends&) = delete;
    ScopedBackends& operator=(const ScopedBackends&) = delete;

private:
    PortIo* oldPorts_;
    Clock* oldClock_;
};

// TAVIX_PORTS: "direct", "sim" or "auto" (default; anything else counts as auto).
enum class PortMode { Direct, Sim, Auto };
PortMode portModeFromEnvironment();

// What obtains port access for a UART base: set by the program's main(),
// called when the engine opens the port-access device and after a COM change.
using PortAccessOpener = std::function<void(std::uint16_t base)>;
void setPortAccessOpener(PortAccessOpener opener);
void openPortAccess(std::uint16_t base);

} // namespace platform
