#pragma once
// The simulated PC's I/O bus: platform::PortIo over the simulated UART.
//
// The configured COM base maps base+0..+7 to the UART's registers; every other
// address reads 0xFF, swallows writes and is counted per address (so a test
// can see that nothing strayed there). Before each access the time line is run
// up to the clock's now, and each access is charged to the clock
// (platform::Clock::chargePortAccess), so an in()/out() costs one clock read,
// an O(1) check of the event queue and the register work: no allocation,
// logging or system call on its path unless write logging is switched on.
//
// On the host's clock (a HostClock) the simulated PC keeps time of its own,
// as a PC's bus does whatever the host's CPU is up to: each access holds the
// bus for kHostAccessPs (a PC's in/out on a UART, rather than the few dozen
// nanoseconds the host needs to run it), and between two accesses only the
// time the program spent in the delay loop passes. The host's own stalls
// (another process, the hypervisor: tens of microseconds, a thousand times a
// second on a virtual machine) and its cost of running the simulation do not
// count; the accesses after a stall run unpaced until the simulated PC has
// caught up with the host. The simulated PC's time is the host's again at the
// first access after the program looked at the host's time (counter, tick
// count, sleep: it waits for or stamps host time) or was away longer than
// kResyncPs. So a program that polls the UART gets a fixed number of polls
// per character time, and a delay costs the polls its time takes: the clock
// the timing calibration relies on.
//
// Named fault modes:
//   AbsentUart              no UART at the base: reads 0xFF, writes vanish.
//   TransmitterStuckBusy    the UART's LSR never shows THRE/TEMT.
//   PortAccessRefused       the system refuses port I/O: every access throws
//                           PortAccessRefused (where direct access would kill
//                           the process, the simulation ends the operation).
// Besides, stalls of the simulated PC: every n-th access takes extra time on
// a virtual clock, like a machine that is interrupted by other work.

#include "sim/EventQueue.h"
#include "sim/HostClock.h"
#include "sim/Uart16550.h"

#include "platform/Clock.h"
#include "platform/PortIo.h"

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
class VirtualClock;
}

namespace sim {

enum class Fault { AbsentUart, TransmitterStuckBusy, PortAccessRefused };

class PortAccessRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PortBus final : public platform::PortIo {
public:
    struct Stray {
        std::uint64_t reads = 0;
        std::uint64_t writes = 0;
        Ps firstPs = 0;
        Ps lastPs = 0;
    };
    struct Write {
        Ps at;
        std::uint16_t port;
        std::uint8_t value;
    };
    struct Stalls {
        std::uint64_t every = 0; // 0: none
        Ps duration = 0;
        std::uint64_t startAfter = 0; // accesses before the first stall
    };

    // 1/700000 s: the port reads per second the programs assume for a PC.
    static constexpr Ps kHostAccessPs = kPsPerSecond / 700000;
    static constexpr Ps kResyncPs = 200 * kPsPerUs;

    PortBus(platform::Clock& clock, EventQueue& queue, Uart16550& uart, std::uint16_t base);

    std::uint8_t in(std::uint16_t port) override;
    void out(std::uint16_t port, std::uint8_t value) override;
    std::string describe() const override { return "sim"; }

    std::uint16_t base() const { return base_; }
    void setBase(std::uint16_t base) { base_ = base; }

    void setFault(Fault f, bool on);
    bool fault(Fault f) const;
    // Needs a virtual clock (ignored on the host's clock).
    void setStalls(Stalls s) { stalls_ = s; }

    const std::map<std::uint16_t, Stray>& strays() const { return strays_; }
    std::uint64_t accesses() const { return accesses_; }
    // Writes to the UART's registers, with their times (off by default: a
    // long interactive run would pile them up).
    void setLogWrites(bool on) { logWrites_ = on; }
    const std::vector<Write>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }

private:
    Ps begin(std::uint16_t port);
    void end();
    void stray(std::uint16_t port, bool write, Ps t);

    platform::Clock& clock_;
    platform::VirtualClock* virtualClock_;
    EventQueue& q_;
    Uart16550& uart_;
    std::uint16_t base_;
    bool absent_ = false;
    bool refused_ = false;
    Stalls stalls_;
    std::uint64_t accesses_ = 0;
    HostClock* host_;
    Ps accessPs_ = 0;         // the simulated PC's time of the current access
    Ps busFreePs_ = 0;        // when the last access released the bus
    Ps spunPs_ = 0;           // the host clock's delay-loop time at the last access
    std::uint64_t looks_ = 0; // the host clock's looks at the last access
    std::map<std::uint16_t, Stray> strays_;
    bool logWrites_ = false;
    std::vector<Write> writes_;
};

} // namespace sim
