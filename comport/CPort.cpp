#include "comport/CPort.h"

#include "comport/ComThread.h"

namespace CPort {

using namespace platform::serial;

namespace {
constexpr int ERROR_INVALID_HANDLE = 6;

constexpr std::uint32_t rateValues[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                        14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

constexpr struct {
    TComEvent event;
    std::uint32_t value;
} eventValues[] = {
    {evRxChar, EV_RXCHAR}, {evTxEmpty, EV_TXEMPTY},   {evRxFlag, EV_RXFLAG}, {evRing, EV_RING},
    {evBreak, EV_BREAK},   {evCTS, EV_CTS},           {evDSR, EV_DSR},       {evError, EV_ERR},
    {evRLSD, EV_RLSD},     {evRx80Full, EV_RX80FULL},
};
} // namespace

std::uint32_t EventsToMask(TComEvents events) {
    std::uint32_t mask = 0;
    for (const auto& e : eventValues)
        if (events.contains(e.event)) mask |= e.value;
    return mask;
}

TComEvents MaskToEvents(std::uint32_t mask) {
    TComEvents events;
    for (const auto& e : eventValues)
        if (mask & e.value) events.insert(e.event);
    return events;
}

// ---- construction ----

TCustomComPort::TCustomComPort(MainThreadDispatcher* dispatcher) : dispatcher_(dispatcher) {
    parity_.ComPort_ = this;
    flowControl_.ComPort_ = this;
    timeouts_.ComPort_ = this;
    buffer_.ComPort_ = this;
}

TCustomComPort::~TCustomComPort() {
    try {
        Deactivate();
    } catch (...) {
        // A failed purge must not keep the thread running or the device open.
    }
    try {
        if (eventWindow_) eventWindow_->close();
        eventThread_.reset();
        retiredThread_.reset();
        eventWindow_.reset();
        handle_.reset();
        connected_ = false;
    } catch (...) {
    }
}

void TCustomComPort::setDesigning(bool on) {
    if (on)
        state_.insert(csDesigning);
    else
        state_.erase(csDesigning);
}

void TCustomComPort::Loaded() {
    state_.erase(csLoading);
    if (connected_ && !state_.contains(csDesigning)) {
        connected_ = false;
        try {
            Activate();
        } catch (...) {
            handleApplicationException(std::current_exception());
        }
    }
}

bool TCustomComPort::applying() const {
    return Connected() && !state_.contains(csDesigning) && !state_.contains(csLoading) &&
           handle_ != nullptr;
}

// ---- opening and closing ----

void TCustomComPort::Activate() {
    if (Connected() || state_.contains(csDesigning)) return;
    releaseDevice();
    if (retiredThread_ && !retiredThread_->IsCurrentThread()) retiredThread_.reset();
    {
        std::lock_guard lock(requestsMutex_);
        closing_ = false;
    }
    ReportBeforeOpen();
    OpenHandle();
    connected_ = true;
    try {
        ConfigurePort();
    } catch (...) {
        ShutHandle();
        connected_ = false;
        throw;
    }
    try {
        if (Events.empty()) {
            threadCreated_ = false;
        } else {
            MainThreadDispatcher* d = dispatcher_ ? dispatcher_ : mainThreadDispatcher();
            if (syncMethod_ != smNone && d) eventWindow_ = std::make_shared<DeliveryChannel>(d);
            eventThread_ = std::make_unique<TComThread>(this, handle_, eventWindow_);
            threadCreated_ = true;
        }
        ReportAfterOpen();
    } catch (...) {
        // A failure this late closes the port as an earlier one does.
        releaseDevice();
        connected_ = false;
        throw;
    }
}

void TCustomComPort::releaseDevice() {
    if (eventWindow_) eventWindow_->close();
    if (eventThread_) retireThread(eventThread_);
    threadCreated_ = false;
    eventWindow_.reset();
    ShutHandle();
}

void TCustomComPort::retireThread(std::unique_ptr<TComThread>& thread) {
    if (thread->IsCurrentThread()) {
        // Stopped from its own handler: it ends once the handler returns.
        thread->SignalStop();
        if (retiredThread_ && !retiredThread_->IsCurrentThread()) retiredThread_.reset();
        retiredThread_ = std::move(thread);
    } else {
        thread.reset();
    }
}

void TCustomComPort::Deactivate() {
    if (state_.contains(csDesigning)) return;
    if (!Connected()) {
        // A lost device has closed the port already; the ended thread and
        // the handle it left are let go of here.
        releaseDevice();
        return;
    }
    ReportBeforeClose();
    CancelPendingIO();
    {
        // A read that begins after the purge would keep a handler, and so
        // the wait for the event thread, blocked: abort those as well.
        std::lock_guard lock(requestsMutex_);
        closing_ = true;
        for (TPortRequest* r : requests_)
            r->event.set();
    }
    if (threadCreated_) {
        // Releases a delivery the thread waits for, even one whose handler
        // is the caller of this close.
        if (eventWindow_) eventWindow_->close();
        retireThread(eventThread_);
        threadCreated_ = false;
        eventWindow_.reset();
    }
    ShutHandle();
    connected_ = false;
    ReportAfterClose();
}

void TCustomComPort::OpenHandle() {
    const std::string path = platform::serialDevicePath(port_);
    if (path.empty()) throw EComPort::CreateWithWinCode(1, ERROR_FILE_NOT_FOUND);
    int error = 0;
    auto device = platform::openSerialDevice(path, error);
    if (!device) throw EComPort::CreateWithWinCode(1, error);
    handle_ = std::move(device);
}

void TCustomComPort::ShutHandle() {
    handle_.reset();
}

void TCustomComPort::ConfigurePort() {
    WriteQueueSizes();
    WriteDeviceControl();
    WriteTimeouts();
}

// ---- applying settings ----

platform::DeviceControlBlock TCustomComPort::DeviceControl() const {
    platform::DeviceControlBlock dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate =
        baudRate_ == brCustom ? static_cast<std::uint32_t>(customBaudRate_) : rateValues[baudRate_];
    std::uint32_t f = fBinary;
    const bool check = parity_.Check();
    if (check) f |= fParity;
    if (flowControl_.OutCTSFlow()) f |= fOutxCtsFlow;
    if (flowControl_.OutDSRFlow()) f |= fOutxDsrFlow;
    static constexpr std::uint32_t dtr[] = {DTR_CONTROL_DISABLE, DTR_CONTROL_ENABLE,
                                            DTR_CONTROL_HANDSHAKE};
    f |= dtr[flowControl_.ControlDTR()];
    if (flowControl_.DSRSensitivity()) f |= fDsrSensitivity;
    if (flowControl_.TxContinueOnXoff()) f |= fTXContinueOnXoff;
    if (flowControl_.XonXoffOut()) f |= fOutX;
    if (flowControl_.XonXoffIn()) f |= fInX;
    if (check && parity_.Replace()) f |= fErrorChar;
    if (discardNull_) f |= fNull;
    static constexpr std::uint32_t rts[] = {RTS_CONTROL_DISABLE, RTS_CONTROL_ENABLE,
                                            RTS_CONTROL_HANDSHAKE, RTS_CONTROL_TOGGLE};
    f |= rts[flowControl_.ControlRTS()];
    dcb.Flags = f;
    dcb.XonLim = static_cast<std::uint16_t>(buffer_.InputSize() / 4);
    dcb.XoffLim = dcb.XonLim;
    dcb.ByteSize = static_cast<std::uint8_t>(5 + dataBits_);
    dcb.Parity = static_cast<std::uint8_t>(parity_.Bits());
    dcb.StopBits = static_cast<std::uint8_t>(stopBits_);
    dcb.XonChar = flowControl_.XonChar();
    dcb.XoffChar = flowControl_.XoffChar();
    dcb.ErrorChar = check && parity_.Replace() ? parity_.ReplaceChar() : 0;
    dcb.EvtChar = eventChar_;
    return dcb;
}

platform::CommTimeouts TCustomComPort::CommTimeoutsRecord() const {
    auto dw = [](std::int32_t v) { return v == -1 ? MAXDWORD : static_cast<std::uint32_t>(v); };
    return {dw(timeouts_.ReadInterval()), dw(timeouts_.ReadTotalMultiplier()),
            dw(timeouts_.ReadTotalConstant()), dw(timeouts_.WriteTotalMultiplier()),
            dw(timeouts_.WriteTotalConstant())};
}

void TCustomComPort::WriteDeviceControl() {
    if (!applying()) return;
    if (int e = handle_->setState(DeviceControl())) throw EComPort::CreateWithWinCode(7, e);
}

void TCustomComPort::WriteTimeouts() {
    if (!applying()) return;
    if (int e = handle_->setTimeouts(CommTimeoutsRecord())) throw EComPort::CreateWithWinCode(8, e);
}

void TCustomComPort::WriteQueueSizes() {
    if (!applying()) return;
    if (int e = handle_->setupQueues(static_cast<std::uint32_t>(buffer_.InputSize()),
                                     static_cast<std::uint32_t>(buffer_.OutputSize())))
        throw EComPort::CreateWithWinCode(9, e);
}

// ---- status ----

std::uint32_t TCustomComPort::BytesWaiting() {
    auto dev = device();
    if (!dev) throw EComPort::CreateWithWinCode(10, ERROR_INVALID_HANDLE);
    std::uint32_t errors = 0, inQueue = 0;
    if (int e = dev->clearError(errors, inQueue)) throw EComPort::CreateWithWinCode(10, e);
    return inQueue;
}

TComSignals TCustomComPort::LineSignals() {
    auto dev = device();
    if (!dev) throw EComPort::CreateWithWinCode(11, ERROR_INVALID_HANDLE);
    std::uint32_t status = 0;
    if (int e = dev->modemStatus(status)) throw EComPort::CreateWithWinCode(11, e);
    TComSignals s;
    if (status & MS_CTS_ON) s.insert(csCTS);
    if (status & MS_DSR_ON) s.insert(csDSR);
    if (status & MS_RING_ON) s.insert(csRing);
    if (status & MS_RLSD_ON) s.insert(csRLSD);
    return s;
}

TComErrors TCustomComPort::TakeLineErrors() {
    auto dev = device();
    if (!dev) throw EComPort::CreateWithWinCode(10, ERROR_INVALID_HANDLE);
    std::uint32_t errors = 0, inQueue = 0;
    if (int e = dev->clearError(errors, inQueue)) throw EComPort::CreateWithWinCode(10, e);
    TComErrors r;
    if (errors & CE_FRAME) r.insert(ceFrame);
    if ((errors & CE_RXPARITY) && parity_.Check()) r.insert(ceRxParity);
    if (errors & CE_OVERRUN) r.insert(ceOverrun);
    if (errors & CE_BREAK) r.insert(ceBreak);
    if (errors & CE_IOE) r.insert(ceIO);
    if (errors & CE_MODE) r.insert(ceMode);
    if (errors & CE_RXOVER) r.insert(ceRxOver);
    if (errors & CE_TXFULL) r.insert(ceTxFull);
    return r;
}

// ---- property writers ----

void TCustomComPort::PutConnected(bool value) {
    if (state_.contains(csDesigning) || state_.contains(csLoading)) {
        connected_ = value;
        return;
    }
    if (value == Connected()) return;
    if (value)
        Activate();
    else
        Deactivate();
}

void TCustomComPort::PutBaudRate(TBaudRate value) {
    if (value == baudRate_) return;
    baudRate_ = value;
    WriteDeviceControl();
}

void TCustomComPort::PutCustomBaudRate(std::int32_t value) {
    if (value == customBaudRate_) return;
    customBaudRate_ = value;
    WriteDeviceControl();
}

void TCustomComPort::PutDataBits(TDataBits value) {
    if (value == dataBits_) return;
    dataBits_ = value;
    WriteDeviceControl();
}

void TCustomComPort::PutStopBits(TStopBits value) {
    if (value == stopBits_) return;
    stopBits_ = value;
    WriteDeviceControl();
}

void TCustomComPort::PutDiscardNull(bool value) {
    if (value == discardNull_) return;
    discardNull_ = value;
    WriteDeviceControl();
}

void TCustomComPort::PutEventChar(char value) {
    if (value == eventChar_) return;
    eventChar_ = value;
    WriteDeviceControl();
}

void TCustomComPort::PutPort(const std::string& value) {
    if (value == port_) return;
    port_ = value;
    if (Connected() && !state_.contains(csDesigning) && !state_.contains(csLoading)) {
        Deactivate();
        Activate();
    }
}

void TCustomComPort::PutSyncMethod(TSyncMethod value) {
    if (value == syncMethod_) return;
    if (!Connected() || state_.contains(csDesigning) || state_.contains(csLoading)) {
        syncMethod_ = value;
        return;
    }
    throw EComPort::CreateNoWinCode(14);
}

void TCustomComPort::PutParity(const TComParity& value) {
    parity_.Assign(value);
    WriteDeviceControl();
}

void TCustomComPort::PutFlowControl(const TComFlowControl& value) {
    flowControl_.Assign(value);
    WriteDeviceControl();
}

void TCustomComPort::PutTimeouts(const TComTimeouts& value) {
    timeouts_.Assign(value);
    WriteTimeouts();
}

void TCustomComPort::PutBuffer(const TComBuffer& value) {
    buffer_.Assign(value);
    WriteQueueSizes();
}

// ---- event reporting ----

void TCustomComPort::ReportRxChar() {
    const std::uint32_t n = BytesWaiting();
    if (n > 0) FireRxChar(static_cast<int>(n));
}

void TCustomComPort::ReportTxEmpty() {
    FireTxEmpty();
}
void TCustomComPort::ReportRxFlag() {
    FireRxFlag();
}
void TCustomComPort::ReportBreak() {
    FireBreak();
}
void TCustomComPort::ReportRing() {
    FireRing();
}
void TCustomComPort::ReportRx80Full() {
    FireRx80Full();
}
void TCustomComPort::ReportCTSChange() {
    FireCTSChange(LineSignals().contains(csCTS));
}
void TCustomComPort::ReportDSRChange() {
    FireDSRChange(LineSignals().contains(csDSR));
}
void TCustomComPort::ReportRLSDChange() {
    FireRLSDChange(LineSignals().contains(csRLSD));
}

void TCustomComPort::ReportError() {
    const TComErrors e = TakeLineErrors();
    if (!e.empty()) FireError(e);
}

void TCustomComPort::ReportBeforeOpen() {
    FireBeforeOpen();
}

void TCustomComPort::ReportAfterOpen() {
    FireAfterOpen();
    ReportLineSignals(true);
}

void TCustomComPort::ReportBeforeClose() {
    ReportLineSignals(false);
    FireBeforeClose();
}

void TCustomComPort::ReportAfterClose() {
    FireAfterClose();
}

void TCustomComPort::ReportLineSignals(bool open) {
    if (open) {
        ReportCTSChange();
        ReportDSRChange();
        ReportRLSDChange();
    } else {
        FireCTSChange(false);
        FireDSRChange(false);
        FireRLSDChange(false);
    }
}

void TCustomComPort::EventWindowProc(std::uint32_t eventValue) {
    try {
        if (!Connected()) return;
        switch (eventValue) {
        case EV_RXCHAR:
            ReportRxChar();
            break;
        case EV_RXFLAG:
            ReportRxFlag();
            break;
        case EV_TXEMPTY:
            ReportTxEmpty();
            break;
        case EV_CTS:
            ReportCTSChange();
            break;
        case EV_DSR:
            ReportDSRChange();
            break;
        case EV_RLSD:
            ReportRLSDChange();
            break;
        case EV_BREAK:
            ReportBreak();
            break;
        case EV_ERR:
            ReportError();
            break;
        case EV_RING:
            ReportRing();
            break;
        case EV_RX80FULL:
            ReportRx80Full();
            break;
        default:
            break;
        }
    } catch (...) {
        handleApplicationException(std::current_exception());
    }
}

void TCustomComPort::FireAfterClose() {
    if (OnAfterClose) OnAfterClose(this);
}
void TCustomComPort::FireAfterOpen() {
    if (OnAfterOpen) OnAfterOpen(this);
}
void TCustomComPort::FireBeforeClose() {
    if (OnBeforeClose) OnBeforeClose(this);
}
void TCustomComPort::FireBeforeOpen() {
    if (OnBeforeOpen) OnBeforeOpen(this);
}
void TCustomComPort::FireRxChar(int Count) {
    if (OnRxChar) OnRxChar(this, Count);
}
void TCustomComPort::FireRxBuf(const void* Buffer, int Count) {
    if (OnRxBuf) OnRxBuf(this, Buffer, Count);
}
void TCustomComPort::FireTxEmpty() {
    if (OnTxEmpty) OnTxEmpty(this);
}
void TCustomComPort::FireBreak() {
    if (OnBreak) OnBreak(this);
}
void TCustomComPort::FireRing() {
    if (OnRing) OnRing(this);
}
void TCustomComPort::FireRxFlag() {
    if (OnRxFlag) OnRxFlag(this);
}
void TCustomComPort::FireCTSChange(bool OnOff) {
    if (OnCTSChange) OnCTSChange(this, OnOff);
}
void TCustomComPort::FireDSRChange(bool OnOff) {
    if (OnDSRChange) OnDSRChange(this, OnOff);
}
void TCustomComPort::FireError(TComErrors Errors) {
    if (OnError) OnError(this, Errors);
}
void TCustomComPort::FireRLSDChange(bool OnOff) {
    if (OnRLSDChange) OnRLSDChange(this, OnOff);
}
void TCustomComPort::FireRx80Full() {
    if (OnRx80Full) OnRx80Full(this);
}

// ---- reading ----

void NewPortRequest(TPortRequest*& request) {
    request = new TPortRequest();
}

void DisposePortRequest(TPortRequest*& request) {
    delete request;
    request = nullptr;
}

int RequestFailureMessage(const TPortRequest& request) {
    return request.kind == 0 ? 2 : 3;
}

std::int32_t TCustomComPort::StartRead(void* buffer, std::int32_t count, TPortRequest* request) {
    if (!request) throw EComPort::CreateNoWinCode(4);
    request->kind = 1;
    auto dev = device();
    if (!dev) throw EComPort::CreateWithWinCode(3, ERROR_INVALID_HANDLE);
    {
        std::lock_guard lock(requestsMutex_);
        if (closing_)
            throw EComPort::CreateWithWinCode(3, platform::serial::ERROR_OPERATION_ABORTED);
        requests_.push_back(request);
    }
    struct Unregister {
        TCustomComPort* port;
        TPortRequest* request;
        ~Unregister() {
            std::lock_guard lock(port->requestsMutex_);
            std::erase(port->requests_, request);
        }
    } unregister{this, request};
    std::uint32_t got = 0;
    // The read completes here, by the timeouts in force; an abort purge from
    // another thread ends it early through the request's event.
    const int e =
        dev->read(buffer, count > 0 ? static_cast<std::uint32_t>(count) : 0, got, request->event);
    request->transferred = got;
    if (e) throw EComPort::CreateWithWinCode(3, e);
    return static_cast<std::int32_t>(got);
}

std::int32_t TCustomComPort::FinishRequest(TPortRequest* request) {
    if (!request) throw EComPort::CreateNoWinCode(4);
    if (request->kind == 1) BytesWaiting();
    return static_cast<std::int32_t>(request->transferred);
}

std::int32_t TCustomComPort::ReceiveBytes(void* buffer, std::int32_t count) {
    TPortRequest* request = nullptr;
    NewPortRequest(request);
    try {
        StartRead(buffer, count, request);
        const std::int32_t n = FinishRequest(request);
        DisposePortRequest(request);
        return n;
    } catch (...) {
        DisposePortRequest(request);
        throw;
    }
}

void TCustomComPort::CancelPendingIO() {
    auto dev = device();
    if (!dev) throw EComPort::CreateWithWinCode(5, ERROR_INVALID_HANDLE);
    if (int e = dev->purge(PURGE_TXABORT | PURGE_RXABORT)) throw EComPort::CreateWithWinCode(5, e);
}

} // namespace CPort
