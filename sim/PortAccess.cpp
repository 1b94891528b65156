#include "sim/PortAccess.h"

#include "sim/IrDetector.h"

#include <cstdio>
#include <memory>

namespace sim {

namespace {

struct Backends {
    std::unique_ptr<platform::PortIo> direct;
    std::unique_ptr<SimAdapter> simulated;
    ~Backends() {
        // The program may still hold the seam: leave it on the null backend.
        platform::PortIo* current = &platform::ports();
        if ((direct && current == direct.get()) || (simulated && current == &simulated->bus))
            platform::setPorts(nullptr);
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

void useSim(std::uint16_t base) {
    Backends& b = backends();
    if (!b.simulated) {
        b.simulated = makeSimAdapter(platform::clock(), base);
        // The IR detector with a remote that presses a key for every capture,
        // so that learning can be tried without hardware.
        attachIrDetector(*b.simulated);
    }
    b.simulated->bus.setBase(base);
    platform::setPorts(&b.simulated->bus);
}

} // namespace

platform::PortAccessOpener installPortAccess(platform::PortMode mode, Report report) {
    return [mode, report](std::uint16_t base) {
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
            useSim(base);
            tell(report, "Portzugriff: simulierter Adapter" + where);
            return;
        case platform::PortMode::Auto:
            if (tryDirect(base)) {
                platform::setPorts(backends().direct.get());
                tell(report, "Portzugriff: direkt" + where);
            } else {
                useSim(base);
                tell(report,
                     "Portzugriff: simulierter Adapter" + where + ", kein direkter Zugriff");
            }
            return;
        }
    };
}

SimAdapter* currentSimAdapter() {
    Backends& b = backends();
    return b.simulated && &platform::ports() == &b.simulated->bus ? b.simulated.get() : nullptr;
}

} // namespace sim
