#include "platform/PortIo.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TAVIX_HAVE_PORT_IO 1
#endif

namespace platform {

namespace {

class DirectPortIo final : public PortIo {
public:
    std::uint8_t in(std::uint16_t port) override {
#ifdef TAVIX_HAVE_PORT_IO
        return inb(port);
#else
        (void)port;
        return 0xFF;
#endif
    }
    void out(std::uint16_t port, std::uint8_t value) override {
#ifdef TAVIX_HAVE_PORT_IO
        outb(value, port);
#else
        (void)port;
        (void)value;
#endif
    }
    // cli/sti are privileged beyond what a user process may do; the realtime
    // priority of the caller is what keeps the pulses together.
    std::string describe() const override {
        return "direct";
    }
};

bool requestRange(std::uint16_t base) {
#ifdef TAVIX_HAVE_PORT_IO
    // Any failure (ENOSYS in a VM without port I/O, EPERM without root)
    // simply means "not available".
    return ioperm(base, 8, 1) == 0;
#else
    (void)base;
    return false;
#endif
}

} // namespace

std::unique_ptr<PortIo> openDirectPortIo(std::uint16_t base) {
    if (!requestRange(base)) return nullptr;
    return std::make_unique<DirectPortIo>();
}

bool grantDirectPortRange(PortIo& io, std::uint16_t base) {
    if (dynamic_cast<DirectPortIo*>(&io) == nullptr) return false;
    return requestRange(base);
}

} // namespace platform
