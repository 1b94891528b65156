#include "sim/SimAdapter.h"

namespace sim {

SimAdapter::SimAdapter(platform::Clock& clk, std::uint16_t base)
    : clock(clk), queue(clk.nowPs()), uart(queue), adapter(queue, uart),
      bus(clk, queue, uart, base), irSender(std::make_shared<IrSender>()) {
    adapter.attach(irSender, {0, 3});
}

std::unique_ptr<SimAdapter> makeSimAdapter(platform::Clock& clock, std::uint16_t base) {
    return std::make_unique<SimAdapter>(clock, base);
}

} // namespace sim
