#pragma once
// A complete simulated adapter on one COM base: time line, 16550 UART, port
// bus, the adapter's channel switch and the IR sender on channels 0 and 3.
// Further devices (IR detector, edit decks, line sources) are attached to
// `adapter`.
//
// On a platform::VirtualClock everything is deterministic: time moves by the
// modelled cost of each port access, loop turn and counter read. On the
// host's clock (platform::RealClock) it runs in real time for interactive use,
// with `clock` a HostClock over it that the engine must use (it sees the
// program's delay loop; see PortBus);
// events are still processed lazily, at port accesses or sync(). So code that
// acts on the time line from outside (a GUI handler pressing a scripted key,
// attaching a device) calls sync() first, or uses attach() below, so that
// "now" is the clock's now and not the time of the last port access. Devices
// should compute slow state (a tape position) from elapsed time when asked
// rather than tick with periodic events, so that an idle real-time session
// costs nothing.
//
//   platform::VirtualClock clock;
//   sim::SimAdapter sim(clock, 0x3F8);
//   platform::ScopedBackends use(&sim.bus, &sim.clock);
//   ... run the engine ...
//   sim.sync();
//   sim.irSender->text();   // "m573s547m573…"

#include "sim/Adapter.h"
#include "sim/EventQueue.h"
#include "sim/HostClock.h"
#include "sim/IrSender.h"
#include "sim/LineSource.h"
#include "sim/PortBus.h"
#include "sim/Uart16550.h"

#include "platform/Clock.h"

#include <cstdint>
#include <memory>

namespace sim {

struct SimAdapter {
    SimAdapter(platform::Clock& clock, std::uint16_t base = 0x3F8);
    SimAdapter(const SimAdapter&) = delete;
    SimAdapter& operator=(const SimAdapter&) = delete;

    // Processes everything due up to the clock's now.
    void sync() { queue.runUntil(clock.nowPs()); }
    void setFault(Fault f, bool on = true) { bus.setFault(f, on); }
    // Attaches a device at the clock's now.
    void attach(std::shared_ptr<Device> device, std::initializer_list<int> channels) {
        sync();
        adapter.attach(std::move(device), channels);
    }

    // On any clock but a virtual one: the HostClock over it.
    std::unique_ptr<HostClock> host;
    platform::Clock& clock;
    EventQueue queue;
    Uart16550 uart;
    Adapter adapter;
    PortBus bus;
    std::shared_ptr<IrSender> irSender;
};

std::unique_ptr<SimAdapter> makeSimAdapter(platform::Clock& clock, std::uint16_t base = 0x3F8);

} // namespace sim
