#include "sim/PortBus.h"

#include "platform/VirtualClock.h"

#include <algorithm>
#include <cstdio>

namespace sim {

PortBus::PortBus(platform::Clock& clock, EventQueue& queue, Uart16550& uart, std::uint16_t base)
    : clock_(clock), virtualClock_(dynamic_cast<platform::VirtualClock*>(&clock)), q_(queue),
      uart_(uart), base_(base), host_(dynamic_cast<HostClock*>(&clock)) {}

void PortBus::setFault(Fault f, bool on) {
    switch (f) {
    case Fault::AbsentUart:
        absent_ = on;
        break;
    case Fault::TransmitterStuckBusy:
        uart_.setStuckBusy(on);
        break;
    case Fault::PortAccessRefused:
        refused_ = on;
        break;
    }
}

bool PortBus::fault(Fault f) const {
    switch (f) {
    case Fault::AbsentUart:
        return absent_;
    case Fault::TransmitterStuckBusy:
        return uart_.stuckBusy();
    case Fault::PortAccessRefused:
        return refused_;
    }
    return false;
}

Ps PortBus::begin(std::uint16_t port) {
    if (refused_) {
        char text[64];
        std::snprintf(text, sizeof text, "Portzugriff verweigert: 0x%X", unsigned(port));
        throw PortAccessRefused(text);
    }
    Ps t = clock_.nowPs();
    if (host_) {
        const Ps spun = host_->spunPs();
        const std::uint64_t looks = host_->looks();
        const Ps pc = busFreePs_ + (spun - spunPs_);
        if (looks == looks_ && t - pc <= kResyncPs) t = std::max(pc, q_.now());
        spunPs_ = spun;
        looks_ = looks;
        accessPs_ = t;
    }
    q_.runUntil(t);
    return t;
}

void PortBus::end() {
    clock_.chargePortAccess();
    if (host_) {
        busFreePs_ = accessPs_ + kHostAccessPs;
        host_->waitUntil(busFreePs_);
    }
    ++accesses_;
    if (stalls_.every > 0 && virtualClock_ && accesses_ > stalls_.startAfter &&
        (accesses_ - stalls_.startAfter) % stalls_.every == 0)
        virtualClock_->advancePs(stalls_.duration);
}

void PortBus::stray(std::uint16_t port, bool write, Ps t) {
    Stray& s = strays_[port];
    if (s.reads + s.writes == 0) s.firstPs = t;
    s.lastPs = t;
    ++(write ? s.writes : s.reads);
}

std::uint8_t PortBus::in(std::uint16_t port) {
    const Ps t = begin(port);
    std::uint8_t v = 0xFF;
    const unsigned offset = static_cast<std::uint16_t>(port - base_);
    if (offset > 7)
        stray(port, false, t);
    else if (!absent_)
        v = uart_.read(static_cast<int>(offset));
    end();
    return v;
}

void PortBus::out(std::uint16_t port, std::uint8_t value) {
    const Ps t = begin(port);
    const unsigned offset = static_cast<std::uint16_t>(port - base_);
    if (offset > 7) {
        stray(port, true, t);
    } else if (!absent_) {
        if (logWrites_) writes_.push_back(Write{t, port, value});
        uart_.write(static_cast<int>(offset), value);
    }
    end();
}

} // namespace sim
