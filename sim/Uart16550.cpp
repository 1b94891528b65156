#include "sim/Uart16550.h"

namespace sim {

bool Uart16550::parityBit(std::uint8_t lcr, std::uint8_t value) {
    if (lcr & 0x20) // stick parity: even select gives 0, odd select 1
        return (lcr & 0x10) == 0;
    const unsigned mask = (1u << dataBits(lcr)) - 1;
    const bool oddOnes = (__builtin_popcount(value & mask) & 1) != 0;
    return (lcr & 0x10) ? oddOnes : !oddOnes; // even parity: total count even
}

std::uint8_t Uart16550::read(int reg) {
    switch (reg & 7) {
    case RBR_THR:
        return (lcr_ & LCR_DLAB) ? dll_ : readRbr();
    case IER:
        return (lcr_ & LCR_DLAB) ? dlm_ : ier_;
    case IIR_FCR:
        return static_cast<std::uint8_t>(0x01 | (fifoOn_ ? 0xC0 : 0));
    case LCR:
        return lcr_;
    case MCR:
        return mcr_;
    case LSR:
        return readLsr();
    case MSR:
        return readMsr();
    default:
        return scr_;
    }
}

void Uart16550::write(int reg, std::uint8_t value) {
    switch (reg & 7) {
    case RBR_THR:
        if (lcr_ & LCR_DLAB)
            dll_ = value;
        else
            writeThr(value);
        break;
    case IER:
        if (lcr_ & LCR_DLAB)
            dlm_ = value;
        else
            ier_ = value & 0x0F;
        break;
    case IIR_FCR:
        writeFcr(value);
        break;
    case LCR: {
        const bool breakChanged = ((lcr_ ^ value) & LCR_BREAK) != 0;
        lcr_ = value;
        if (breakChanged) {
            const bool level = frameMark_ && !breakOn();
            txdOut_ = level;
            if (wires_) wires_->txdChanged(q_.now(), level, breakOn());
        }
        break;
    }
    case MCR:
        mcr_ = value & 0x1F;
        if (wires_) wires_->modemControlWritten(q_.now(), mcr_);
        break;
    case LSR:
    case MSR:
        break; // factory test registers: writes have no effect here
    default:
        scr_ = value;
        break;
    }
}

// ---- transmitter ----

void Uart16550::writeThr(std::uint8_t value) {
    if (stuckBusy_) return;
    if (txCount_ >= txCapacity()) {
        ++stats_.txLost;
        return;
    }
    txq_[(txHead_ + txCount_) % kFifoSize] = value;
    ++txCount_;
    if (!tsrBusy_) startCharacter(q_.now());
}

void Uart16550::writeFcr(std::uint8_t value) {
    const bool on = (value & 1) != 0;
    if (on != fifoOn_) {
        // Switching the FIFOs on or off empties both.
        txCount_ = 0;
        clearRx();
    }
    fifoOn_ = on;
    if (on && (value & 2)) clearRx();
    if (on && (value & 4)) txCount_ = 0;
}

void Uart16550::startCharacter(Ps start) {
    const std::uint8_t value = txq_[txHead_];
    txHead_ = (txHead_ + 1) % kFifoSize;
    --txCount_;
    tsrBusy_ = true;
    ++stats_.txChars;

    // The frame's levels bit by bit; only changes become edges.
    const std::uint8_t lcr = lcr_;
    const unsigned div = effectiveDivisor();
    const int d = dataBits(lcr);
    bool levels[12];
    int n = 0;
    levels[n++] = false;
    for (int i = 0; i < d; ++i)
        levels[n++] = ((value >> i) & 1) != 0;
    if (lcr & 8) levels[n++] = parityBit(lcr, value);
    levels[n++] = true;
    bool prev = frameMark_;
    edgeCount_ = 0;
    for (int k = 0; k < n; ++k)
        if (levels[k] != prev) {
            edges_[edgeCount_++] = Edge{start + halfBitsPs(2 * k, div), levels[k]};
            prev = levels[k];
        }
    edgeNext_ = 0;
    txEnd_ = start + halfBitsPs(frameHalfBits(lcr), div);
    scheduleTxStep();
}

void Uart16550::scheduleTxStep() {
    const Ps at = edgeNext_ < edgeCount_ ? edges_[edgeNext_].at : txEnd_;
    q_.schedule(at, [this] { txStep(); });
}

void Uart16550::txStep() {
    if (edgeNext_ < edgeCount_) {
        frameMark_ = edges_[edgeNext_++].mark;
        updateTxd();
        scheduleTxStep();
        return;
    }
    tsrBusy_ = false;
    if (txCount_ > 0) startCharacter(txEnd_);
}

void Uart16550::updateTxd() {
    const bool level = frameMark_ && !breakOn();
    if (level == txdOut_) return;
    txdOut_ = level;
    if (wires_) wires_->txdChanged(q_.now(), level, breakOn());
}

std::uint8_t Uart16550::readLsr() {
    std::uint8_t v = lsrErr_;
    lsrErr_ = 0;
    if (rxCount_ > 0) v |= LSR_DR;
    if (fifoOn_ && rxErrCount_ > 0) v |= LSR_FIFOERR;
    if (!stuckBusy_ && txCount_ == 0) {
        v |= LSR_THRE;
        if (!tsrBusy_) v |= LSR_TEMT;
    }
    return v;
}

// ---- modem status ----

std::uint8_t Uart16550::readMsr() {
    ++stats_.msrReads;
    const std::uint8_t v =
        static_cast<std::uint8_t>(msrDelta_ | (cts_ ? MSR_CTS : 0) | (dsr_ ? MSR_DSR : 0));
    msrDelta_ = 0;
    if (wires_) wires_->modemStatusRead(q_.now());
    return v;
}

void Uart16550::setCts(bool active) {
    if (active == cts_) return;
    cts_ = active;
    msrDelta_ |= MSR_DCTS;
}

void Uart16550::setDsr(bool active) {
    if (active == dsr_) return;
    dsr_ = active;
    msrDelta_ |= MSR_DDSR;
}

// ---- receiver ----

void Uart16550::setRxd(bool mark) {
    if (mark == rxdMark_) return;
    rxdMark_ = mark;
    if (mark) {
        rxWaitMark_ = false;
        return;
    }
    if (!rxBusy_ && !rxWaitMark_) beginReceive(q_.now());
}

void Uart16550::beginReceive(Ps start) {
    rxBusy_ = true;
    rxLcr_ = lcr_;
    rxDivisor_ = effectiveDivisor();
    rxStart_ = start;
    rxBit_ = 0;
    rxValue_ = 0;
    rxParity_ = false;
    rxAllSpace_ = true;
    q_.schedule(start + halfBitsPs(1, rxDivisor_), [this] { rxSample(); });
}

void Uart16550::rxSample() {
    const bool mark = rxdMark_;
    const int d = dataBits(rxLcr_);
    const bool hasParity = (rxLcr_ & 8) != 0;
    const int stopBit = 1 + d + (hasParity ? 1 : 0);
    if (rxBit_ == 0) {
        if (mark) { // a glitch, not a start bit
            rxBusy_ = false;
            return;
        }
    } else if (rxBit_ <= d) {
        if (mark) rxValue_ |= static_cast<std::uint8_t>(1u << (rxBit_ - 1));
    } else if (rxBit_ < stopBit) {
        rxParity_ = mark;
    } else {
        std::uint8_t errors = 0;
        if (hasParity && parityBit(rxLcr_, rxValue_) != rxParity_) errors |= LSR_PE;
        if (!mark) {
            errors |= LSR_FE;
            if (rxAllSpace_) errors = LSR_FE | LSR_BI;
        }
        deliver(rxValue_, errors);
        rxBusy_ = false;
        if (!mark) {
            if (errors & LSR_BI)
                rxWaitMark_ = true; // one break character, then wait for mark
            else
                beginReceive(q_.now() - halfBitsPs(1, rxDivisor_)); // resynchronise
        }
        return;
    }
    if (mark) rxAllSpace_ = false;
    ++rxBit_;
    q_.schedule(rxStart_ + halfBitsPs(2 * rxBit_ + 1, rxDivisor_), [this] { rxSample(); });
}

void Uart16550::deliver(std::uint8_t value, std::uint8_t errors) {
    ++stats_.rxChars;
    const int capacity = fifoOn_ ? kFifoSize : 1;
    if (rxCount_ >= capacity) {
        ++stats_.rxOverruns;
        lsrErr_ |= LSR_OE;
        if (fifoOn_) return; // the FIFO keeps what it has; the new byte is lost
        // Without FIFO the new byte overwrites the unread one.
        if (rxq_[rxHead_].errors) --rxErrCount_;
        rxq_[rxHead_] = RxByte{value, errors};
        if (errors) ++rxErrCount_;
        lsrErr_ |= errors;
        return;
    }
    rxq_[(rxHead_ + rxCount_) % kFifoSize] = RxByte{value, errors};
    ++rxCount_;
    if (errors) ++rxErrCount_;
    if (rxCount_ == 1) lsrErr_ |= errors;
}

std::uint8_t Uart16550::readRbr() {
    if (rxCount_ == 0)
        return rxq_[(rxHead_ + kFifoSize - 1) % kFifoSize].value; // the last byte again
    const RxByte b = rxq_[rxHead_];
    rxHead_ = (rxHead_ + 1) % kFifoSize;
    --rxCount_;
    if (b.errors) --rxErrCount_;
    if (rxCount_ > 0) lsrErr_ |= rxq_[rxHead_].errors;
    return b.value;
}

void Uart16550::clearRx() {
    rxCount_ = 0;
    rxErrCount_ = 0;
}

} // namespace sim
