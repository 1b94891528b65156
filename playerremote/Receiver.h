#pragma once
// The IR receiver's port: the bit rate derived from a bit period, the UART
// base of a COM number and the register writes that set the exact divisor
// and the character width.

#include "comport/CPort.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pmp3p {

struct Bitrate {
    std::uint32_t Teiler = 0; // 115200 div (1000000 div period)
    double f = 0;             // 1000000 / period
    CPort::TBaudRate BaudRate = CPort::br110;
};

// Throws EDivByZero for a period of 0, below 0 or above 1000000.
Bitrate berechneBitrate(std::int32_t periode);
CPort::TBaudRate standardRate(double f);
// General format with up to 15 significant digits.
std::string frequenzText(double f);

// 1: 0x3F8, 3: 0x3E8, any other: 0x2F8.
std::uint16_t uartBasis(std::int32_t schnittstelle);
// Word-length code of the choice in "Bits" (0 to 3; any other: 3).
std::uint8_t wortlaengenCode(std::int32_t bitsIndex);

class EDivByZero : public std::runtime_error {
public:
    EDivByZero() : std::runtime_error("Division durch Null") {}
};

// Where the receiver's register writes go.
class ReceiverRegisters {
public:
    virtual ~ReceiverRegisters() = default;
    virtual void Port_Schreiben(std::uint16_t port, std::uint8_t value) = 0;
    // After the four writes of one setting.
    virtual void fertig() {}
};

// Line control with the latch open, divisor low and high byte, line control,
// interrupt enable; ERangeError before any write when the divisor needs more than a byte.
void schreibeEmpfaengerRegister(ReceiverRegisters& regs, std::uint16_t basis, std::uint8_t code,
                                std::uint32_t teiler);

// Records the writes (tests, and a port with nothing behind it).
class RecordingRegisters final : public ReceiverRegisters {
public:
    struct Write {
        std::uint16_t port;
        std::uint8_t value;
        bool operator==(const Write&) const = default;
    };
    void Port_Schreiben(std::uint16_t port, std::uint8_t value) override {
        writes.push_back({port, value});
    }
    std::vector<Write> writes;
};

// Without the right to reach the UART's registers the same writes are turned
// into device settings of the port: the exact rate 115200 / divisor (the
// serial driver's arbitrary-rate setting) and the character width.
class DeviceRegisters final : public ReceiverRegisters {
public:
    DeviceRegisters(CPort::TCustomComPort& port, std::uint16_t basis) : port_(port), base_(basis) {}
    void Port_Schreiben(std::uint16_t port, std::uint8_t value) override;
    void fertig() override;

private:
    CPort::TCustomComPort& port_;
    std::uint16_t base_;
    bool latch_ = false;
    std::uint8_t lcr_ = 3;
    std::uint8_t divisor_ = 0;
};

// Direct register access when the process may have it for this base, else
// the device settings above.
std::unique_ptr<ReceiverRegisters> openReceiverRegisters(std::uint16_t basis,
                                                         CPort::TCustomComPort& port);

} // namespace pmp3p
