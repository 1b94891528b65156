#pragma once
// The port-I/O seam: byte reads and writes of I/O ports, and interrupts off/on
// around timing-critical bits. Implementations must keep in()/out() cheap: no
// allocation, logging or system call on their path.

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual std::uint8_t in(std::uint16_t port) = 0;
    virtual void out(std::uint16_t port, std::uint8_t value) = 0;
    virtual void interruptsOff() {}
    virtual void interruptsOn() {}
    // Where the accesses go, for the start-up message ("direct", "sim", ...).
    virtual std::string describe() const = 0;
};

// Direct processor port access to the eight registers of a UART at base.
// Returns null when the process cannot get the right to access them (no port
// I/O on this kernel or architecture, or no privilege); then no in/out
// instruction is ever executed.
std::unique_ptr<PortIo> openDirectPortIo(std::uint16_t base);

// Asks for the right to access a further UART (after a COM change); false when
// refused. Only meaningful for a PortIo made by openDirectPortIo.
bool grantDirectPortRange(PortIo& io, std::uint16_t base);

} // namespace platform
