#pragma once
// A register-exact 16550 UART on the simulated time line.
//
// Registers (offset from the base): 0 RBR/THR (DLL with DLAB), 1 IER (DLM with
// DLAB), 2 IIR (read) / FCR (write), 3 LCR, 4 MCR, 5 LSR, 6 MSR, 7 SCR.
// Interrupts are never raised (IIR always reads "none pending").
//
// Transmitter: the THR (one byte, or the 16-byte FIFO when FCR bit 0 is set)
// feeds the shift register; a byte written while the THR or the FIFO is full
// is lost (counted in stats().txLost). THRE (0x20) is set while the THR/FIFO is
// empty, TEMT (0x40) while the shift register is idle as well. A character
// lasts (1 start + 5..8 data + parity + 1, 1.5 or 2 stop) bit times of
// divisor/115200 s; every bit edge is computed from the character's start, so
// back-to-back characters never drift. The TXD line is reported to the wires
// (UartWires) as a level stream: idle mark, start bit space, data LSB first,
// parity, stop bits mark; LCR bit 0x40 (break) forces space while it is set.
//
// Receiver: a falling RXD edge starts a character; RXD is sampled at the middle
// of every bit (start bit again, to reject glitches). A space stop bit gives FE;
// a whole character of space gives BI (with FE) and the receiver then waits for
// mark. DR (0x01) while a byte waits; OE (0x02) when a byte arrives with the
// RBR (or the FIFO) full: without FIFO the new byte replaces the old one, with
// FIFO it is lost. PE (0x04), FE, BI belong to the byte at the top of the FIFO;
// bit 0x80 in FIFO mode while any byte in the FIFO has an error. Reading LSR
// clears OE, PE, FE and BI.
//
// Modem status: CTS (0x10) and DSR (0x20) follow the inputs; delta CTS (0x01)
// and delta DSR (0x02) latch every change since the last MSR read, even a
// pulse that came and went between two reads, and reading MSR clears them.
// MCR (DTR 0x01, RTS 0x02, OUT1, OUT2, LOOP) is passed to the wires on every
// write; the loopback mode is not modelled.

#include "sim/EventQueue.h"

#include <array>
#include <cstdint>

namespace sim {

// The far side of the UART's pins (the adapter). Called on the simulated time
// line, t being the time of the change.
class UartWires {
public:
    virtual ~UartWires() = default;
    // TXD level: mark = idle (logical 1), space = IR on / bus pulled low.
    virtual void txdChanged(Ps t, bool mark, bool breakOn) = 0;
    virtual void modemControlWritten(Ps t, std::uint8_t mcr) = 0;
    virtual void modemStatusRead(Ps t) = 0;
};

class Uart16550 {
public:
    enum Reg { RBR_THR = 0, IER = 1, IIR_FCR = 2, LCR = 3, MCR = 4, LSR = 5, MSR = 6, SCR = 7 };

    static constexpr std::uint8_t LSR_DR = 0x01, LSR_OE = 0x02, LSR_PE = 0x04, LSR_FE = 0x08,
                                  LSR_BI = 0x10, LSR_THRE = 0x20, LSR_TEMT = 0x40,
                                  LSR_FIFOERR = 0x80;
    static constexpr std::uint8_t MSR_DCTS = 0x01, MSR_DDSR = 0x02, MSR_CTS = 0x10, MSR_DSR = 0x20;
    static constexpr std::uint8_t LCR_BREAK = 0x40, LCR_DLAB = 0x80;
    static constexpr int kFifoSize = 16;
    // The baud clock: 1.8432 MHz / 16.
    static constexpr Ps kBaudBase = 115200;

    struct Stats {
        std::uint64_t txChars = 0; // characters that went out on TXD
        std::uint64_t txLost = 0;  // written while THR/FIFO full
        std::uint64_t rxChars = 0; // characters received (errors included)
        std::uint64_t rxOverruns = 0;
        std::uint64_t msrReads = 0;
    };

    explicit Uart16550(EventQueue& queue) : q_(queue) {}
    Uart16550(const Uart16550&) = delete;
    Uart16550& operator=(const Uart16550&) = delete;

    void setWires(UartWires* wires) { wires_ = wires; }

    // Register access at the queue's current time (reg 0..7).
    std::uint8_t read(int reg);
    void write(int reg, std::uint8_t value);

    // Input pins, changed at the queue's current time.
    void setCts(bool active);
    void setDsr(bool active);
    void setRxd(bool mark);

    // A transmitter that never gets rid of its characters: THRE and TEMT stay
    // clear and written bytes vanish.
    void setStuckBusy(bool on) { stuckBusy_ = on; }
    bool stuckBusy() const { return stuckBusy_; }

    // Observers.
    bool txdMark() const { return txdOut_; }
    bool breakOn() const { return (lcr_ & LCR_BREAK) != 0; }
    bool cts() const { return cts_; }
    bool dsr() const { return dsr_; }
    bool rxdMark() const { return rxdMark_; }
    std::uint8_t lineControl() const { return lcr_; }
    std::uint8_t modemControl() const { return mcr_; }
    unsigned divisor() const { return dll_ | (dlm_ << 8); }
    bool fifoEnabled() const { return fifoOn_; }
    // One bit time at the current divisor (rounded down to whole ps).
    Ps bitPs() const { return halfBitsPs(2, effectiveDivisor()); }
    // One character of the current framing.
    Ps characterPs() const { return halfBitsPs(frameHalfBits(lcr_), effectiveDivisor()); }
    const Stats& stats() const { return stats_; }

private:
    struct RxByte {
        std::uint8_t value;
        std::uint8_t errors; // PE/FE/BI
    };
    struct Edge {
        Ps at;
        bool mark;
    };

    unsigned effectiveDivisor() const { return divisor() == 0 ? 65536u : divisor(); }
    static int dataBits(std::uint8_t lcr) { return 5 + (lcr & 3); }
    static int stopHalfBits(std::uint8_t lcr) {
        return (lcr & 4) ? (dataBits(lcr) == 5 ? 3 : 4) : 2;
    }
    static int frameHalfBits(std::uint8_t lcr) {
        return 2 * (1 + dataBits(lcr) + ((lcr & 8) ? 1 : 0)) + stopHalfBits(lcr);
    }
    static bool parityBit(std::uint8_t lcr, std::uint8_t value);
    static Ps halfBitsPs(int halfBits, unsigned divisor) {
        return static_cast<Ps>(halfBits) * divisor * kPsPerSecond / (2 * kBaudBase);
    }

    std::uint8_t readLsr();
    std::uint8_t readMsr();
    std::uint8_t readRbr();
    void writeThr(std::uint8_t value);
    void writeFcr(std::uint8_t value);
    void startCharacter(Ps start);
    void scheduleTxStep();
    void txStep();
    void updateTxd();
    int txCapacity() const { return fifoOn_ ? kFifoSize : 1; }

    void beginReceive(Ps start);
    void rxSample();
    void deliver(std::uint8_t value, std::uint8_t errors);
    void clearRx();

    EventQueue& q_;
    UartWires* wires_ = nullptr;
    bool stuckBusy_ = false;

    std::uint8_t dll_ = 0, dlm_ = 0, ier_ = 0, lcr_ = 0, mcr_ = 0, scr_ = 0;
    bool fifoOn_ = false;

    // Transmitter.
    std::array<std::uint8_t, kFifoSize> txq_{};
    int txHead_ = 0, txCount_ = 0;
    bool tsrBusy_ = false;
    bool frameMark_ = true; // level the shift register puts out
    bool txdOut_ = true;    // level on the pin (break applied)
    std::array<Edge, 14> edges_{};
    int edgeCount_ = 0, edgeNext_ = 0;
    Ps txEnd_ = 0;

    // Receiver.
    bool rxdMark_ = true;
    bool rxBusy_ = false;
    bool rxWaitMark_ = false;
    std::uint8_t rxLcr_ = 0;
    unsigned rxDivisor_ = 12;
    Ps rxStart_ = 0;
    int rxBit_ = 0; // next bit to sample: 0 start, 1.. data, parity, stop
    std::uint8_t rxValue_ = 0;
    bool rxParity_ = false;
    bool rxAllSpace_ = true;
    std::array<RxByte, kFifoSize> rxq_{};
    int rxHead_ = 0, rxCount_ = 0, rxErrCount_ = 0;
    std::uint8_t lsrErr_ = 0;

    // Modem status.
    bool cts_ = false, dsr_ = false;
    std::uint8_t msrDelta_ = 0;

    Stats stats_;
};

} // namespace sim
