#include "sim/SimAdapter.h"

#include "platform/VirtualClock.h"

namespace sim {

SimAdapter::SimAdapter(platform::Clock& clk, std::uint16_t base)
    : host(dynamic_cast<platform::VirtualClock*>(&clk) ? nullptr
                                                       : std::make_unique<HostClock>(clk)),
      clock(host ? *host : clk), queue(clock.nowPs()), uart(queue), adapter(queue, uart),
      bus(clock, queue, uart, base), irSender(std::make_shared<IrSender>()) {
    adapter.attach(irSender, {0, 3});
}

std::unique_ptr<SimAdapter> makeSimAdapter(platform::Clock& clock, std::uint16_t base) {
    return std::make_unique<SimAdapter>(clock, base);
}

} // namespace sim
