#include "playerremote/Receiver.h"

#include "platform/Errors.h"
#include "platform/PortIo.h"

#include <cstdio>

namespace pmp3p {

Bitrate berechneBitrate(std::int32_t periode) {
    // Both divisions are unsigned: a negative period is a huge one.
    const auto p = static_cast<std::uint32_t>(periode);
    if (p == 0) throw EDivByZero();
    const std::uint32_t proSekunde = 1000000u / p;
    if (proSekunde == 0) throw EDivByZero();
    Bitrate b;
    b.Teiler = 115200u / proSekunde;
    b.f = 1000000.0 / periode;
    b.BaudRate = standardRate(b.f);
    return b;
}

CPort::TBaudRate standardRate(double f) {
    using namespace CPort;
    if (f < 300) return br110;
    if (f < 600) return br300;
    if (f < 1200) return br600;
    if (f < 2400) return br1200;
    if (f < 4800) return br2400;
    if (f < 9600) return br4800;
    if (f < 19200) return br9600;
    return br19200;
}

std::string frequenzText(double f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", f);
    return buf;
}

std::uint16_t uartBasis(std::int32_t schnittstelle) {
    if (schnittstelle == 1) return 0x3F8;
    if (schnittstelle == 3) return 0x3E8;
    return 0x2F8;
}

std::uint8_t wortlaengenCode(std::int32_t bitsIndex) {
    return bitsIndex >= 0 && bitsIndex <= 2 ? static_cast<std::uint8_t>(bitsIndex) : 3;
}

void schreibeEmpfaengerRegister(ReceiverRegisters& regs, std::uint16_t basis, std::uint8_t code,
                                std::uint32_t teiler) {
    if (teiler > 255) throw ERangeError("Bereichsfehler: SIO Teiler " + std::to_string(teiler));
    regs.Port_Schreiben(static_cast<std::uint16_t>(basis + 3),
                        static_cast<std::uint8_t>(code | 0x80));
    regs.Port_Schreiben(basis, static_cast<std::uint8_t>(teiler));
    // The high byte as well, or the serial driver's value for its standard
    // rate stays in the latch.
    regs.Port_Schreiben(static_cast<std::uint16_t>(basis + 1), 0);
    regs.Port_Schreiben(static_cast<std::uint16_t>(basis + 3), code);
    regs.Port_Schreiben(static_cast<std::uint16_t>(basis + 1), 5);
    regs.fertig();
}

// ---- device settings in place of the registers ----

void DeviceRegisters::Port_Schreiben(std::uint16_t port, std::uint8_t value) {
    const int reg = port - base_;
    if (reg == 3) {
        latch_ = (value & 0x80) != 0;
        lcr_ = value & 0x7F;
    } else if (reg == 0 && latch_) {
        divisor_ = value;
    }
}

void DeviceRegisters::fertig() {
    port_.setDataBits(static_cast<CPort::TDataBits>(lcr_ & 3));
    // A divisor of 0 has no rate; the standard rate stays.
    if (divisor_ != 0) {
        port_.setCustomBaudRate(static_cast<std::int32_t>(115200 / divisor_));
        port_.setBaudRate(CPort::brCustom);
    }
}

namespace {
class DirectRegisters final : public ReceiverRegisters {
public:
    explicit DirectRegisters(std::unique_ptr<platform::PortIo> io) : io_(std::move(io)) {}
    void Port_Schreiben(std::uint16_t port, std::uint8_t value) override { io_->out(port, value); }

private:
    std::unique_ptr<platform::PortIo> io_;
};
} // namespace

std::unique_ptr<ReceiverRegisters> openReceiverRegisters(std::uint16_t basis,
                                                         CPort::TCustomComPort& port) {
    if (auto io = platform::openDirectPortIo(basis))
        return std::make_unique<DirectRegisters>(std::move(io));
    return std::make_unique<DeviceRegisters>(port, basis);
}

} // namespace pmp3p
