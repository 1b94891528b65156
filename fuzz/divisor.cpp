// Plomvare's bit period into the receiver's registers: the divisor and the
// character width that the writes leave in a UART are the ones computed, and
// the device settings made of the same writes give the rate they mean.
#include "FuzzSupport.h"
#include "platform/Errors.h"
#include "playerremote/Receiver.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    std::int32_t periode = 0, schnittstelle = 0;
    std::memcpy(&periode, data, 4);
    std::memcpy(&schnittstelle, data + 4, 4);
    const std::int32_t bitsIndex = static_cast<std::int8_t>(data[8]);

    pmp3p::Bitrate b;
    try {
        b = pmp3p::berechneBitrate(periode);
    } catch (const pmp3p::EDivByZero&) {
        fuzz::check(periode <= 0 || periode > 1000000, "a period that has a rate refused");
        return 0;
    }
    fuzz::check(periode > 0 && periode <= 1000000, "a rate for a period that has none");
    fuzz::check(b.Teiler == 115200u / (1000000u / static_cast<std::uint32_t>(periode)), "divisor");
    (void)pmp3p::frequenzText(b.f);

    const std::uint16_t basis = pmp3p::uartBasis(schnittstelle);
    fuzz::check(basis == 0x3F8 || basis == 0x3E8 || basis == 0x2F8, "UART base");
    const std::uint8_t code = pmp3p::wortlaengenCode(bitsIndex);
    pmp3p::RecordingRegisters rec;
    try {
        pmp3p::schreibeEmpfaengerRegister(rec, basis, code, b.Teiler);
    } catch (const ERangeError&) {
        fuzz::check(b.Teiler > 255 && rec.writes.empty(), "a refused divisor written");
        return 0;
    }
    // As a UART takes the writes: with the latch open, offsets 0 and 1 are the
    // divisor; with it closed, offset 1 is the interrupt enable.
    bool latch = false;
    std::uint32_t teiler = 0xFFFFFFFF;
    std::int32_t lcr = -1;
    for (const auto& w : rec.writes) {
        fuzz::check(w.port >= basis && w.port <= basis + 7, "a write beside the UART");
        const int reg = w.port - basis;
        if (reg == 3) {
            latch = (w.value & 0x80) != 0;
            lcr = w.value;
        } else if (latch && reg == 0) {
            teiler = (teiler & 0xFF00) | w.value;
        } else if (latch && reg == 1) {
            teiler = (teiler & 0x00FF) | (static_cast<std::uint32_t>(w.value) << 8);
        }
    }
    fuzz::check(!latch && lcr == code, "line control after the writes");
    fuzz::check(teiler == b.Teiler, "divisor in the latch");

    // The same writes as device settings.
    CPort::TComPort port;
    pmp3p::DeviceRegisters dev(port, basis);
    pmp3p::schreibeEmpfaengerRegister(dev, basis, code, b.Teiler);
    fuzz::check(static_cast<int>(port.DataBits()) == (code & 3), "character width");
    if (b.Teiler != 0) {
        fuzz::check(port.BaudRate() == CPort::brCustom, "custom rate");
        fuzz::check(port.CustomBaudRate() == static_cast<std::int32_t>(115200 / b.Teiler),
                    "rate of the divisor");
    }
    return 0;
}
