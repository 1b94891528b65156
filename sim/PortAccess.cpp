#include "sim/PortAccess.h"

#include "sim/PeoplesAdapter.h"

#include <cstdio>
#include <memory>

namespace sim {

namespace {

struct Backends {
    std::unique_ptr<platform::PortIo> direct;
    std::unique_ptr<SimAdapter> simulated;
    std::unique_ptr<PeoplesDevices> devices;
    std::string reason;
    platform::Clock* clockBefore = nullptr; // replaced by the adapter's HostClock
    ~Backends() { release(); }
    void release() {
        // The program may still hold the seam: leave it on the null backend.
        platform::PortIo* current = &platform::ports();
        if ((direct && current == direct.get()) || (simulated && current == &simulated->bus))
            platform::setPorts(nullptr);
        if (simulated && &platform::clock() == &simulated->clock && simulated->host)
            platform::setClock(clockBefore);
        clockBefore = nullptr;
        devices.reset();
        simulated.reset();
        reason.clear();
    }
};

Backends& backends() {
    static Backends b;
    return b;
}

std::string hex(std::uint16_t base) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", unsigned(base));
    return text;
}

void tell(const Report& report, const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    if (report) report(line);
}

bool tryDirect(std::uint16_t base) {
    Backends& b = backends();
    if (b.direct && platform::grantDirectPortRange(*b.direct, base)) return true;
    if (!b.direct) b.direct = platform::openDirectPortIo(base);
    return b.direct != nullptr;
}

// The reason is said with the first report of an opener; a later COM change
// only says where the adapter moved.
void useSim(std::uint16_t base, const char* reason, const Report& report, bool& told) {
    Backends& b = backends();
    if (!b.simulated) {
        b.simulated = makeSimAdapter(platform::clock(), base);
        // On the host's clock the engine's delay loop must run on the
        // adapter's clock, which sees it.
        if (b.simulated->host) {
            b.clockBefore = &platform::clock();
            platform::setClock(&b.simulated->clock);
        }
        // Every device a person needs to try each function without hardware.
        b.devices = std::make_unique<PeoplesDevices>(*b.simulated);
    }
    b.reason = reason;
    b.simulated->bus.setBase(base);
    platform::setPorts(&b.simulated->bus);
    std::string line = "Portzugriff: simulierter Adapter (" + hex(base) + ")";
    if (!told) line += std::string(", ") + reason;
    told = true;
    tell(report, line);
}

} // namespace

const char* const kBecauseAsked = "TAVIX_PORTS=sim";
const char* const kBecauseRefused = "kein direkter Zugriff, keine Portberechtigung";

platform::PortAccessOpener installPortAccess(platform::PortMode mode, Report report) {
    auto told = std::make_shared<bool>(false);
    return [mode, report, told](std::uint16_t base) {
        const std::string where = " (" + hex(base) + ")";
        switch (mode) {
        case platform::PortMode::Direct:
            if (tryDirect(base)) {
                platform::setPorts(backends().direct.get());
                tell(report, "Portzugriff: direkt" + where);
            } else {
                platform::setPorts(nullptr);
                tell(report, "Portzugriff verweigert" + where +
                                 ": kein Adapter erreichbar (TAVIX_PORTS=direct)");
            }
            return;
        case platform::PortMode::Sim:
            useSim(base, kBecauseAsked, report, *told);
            return;
        case platform::PortMode::Auto:
            if (tryDirect(base)) {
                platform::setPorts(backends().direct.get());
                tell(report, "Portzugriff: direkt" + where);
            } else {
                useSim(base, kBecauseRefused, report, *told);
            }
            return;
        }
    };
}

PeoplesDevices* currentPeoplesDevices() {
    return currentSimAdapter() ? backends().devices.get() : nullptr;
}

std::string simulatedAdapterReason() {
    return currentSimAdapter() ? backends().reason : std::string();
}

void releasePortAccess() {
    backends().release();
}

SimAdapter* currentSimAdapter() {
    Backends& b = backends();
    return b.simulated && &platform::ports() == &b.simulated->bus ? b.simulated.get() : nullptr;
}

} // namespace sim
