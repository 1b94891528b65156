#include "platform/Platform.h"

#include <cstdlib>
#include <string_view>

namespace platform {

namespace {

class NoPorts final : public PortIo {
public:
    std::uint8_t in(std::uint16_t) override { return 0xFF; }
    void out(std::uint16_t, std::uint8_t) override {}
    std::string describe() const override { return "none"; }
};

NoPorts noPorts;
RealClock realClock;
PortAccessOpener opener;

} // namespace

namespace detail {
PortIo* currentPorts = &noPorts;
Clock* currentClock = &realClock;
} // namespace detail

void setPorts(PortIo* io) {
    detail::currentPorts = io ? io : &noPorts;
}
void setClock(Clock* clk) {
    detail::currentClock = clk ? clk : &realClock;
}

ScopedBackends::ScopedBackends(PortIo* io, Clock* clk)
    : oldPorts_(detail::currentPorts), oldClock_(detail::currentClock) {
    setPorts(io);
    setClock(clk);
}

ScopedBackends::~ScopedBackends() {
    detail::currentPorts = oldPorts_;
    detail::currentClock = oldClock_;
}

PortMode portModeFromEnvironment() {
    const char* v = std::getenv("TAVIX_PORTS");
    const std::string_view s = v ? v : "";
    if (s == "direct") return PortMode::Direct;
    if (s == "sim") return PortMode::Sim;
    return PortMode::Auto;
}

void setPortAccessOpener(PortAccessOpener o) {
    opener = std::move(o);
}

void openPortAccess(std::uint16_t base) {
    if (opener) opener(base);
}

} // namespace platform
