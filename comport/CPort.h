#pragma once
// The serial-port component: TComPort owns one serial port, applies its
// settings, reports port events from an event thread of its own and reads
// received bytes. All device access goes through platform::SerialDevice.

#include "comport/ComErrors.h"
#include "comport/Dispatcher.h"
#include "platform/SerialDevice.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
class IniFile;
class RegistryAccessor;
} // namespace platform

namespace CPort {

// A set over an enumeration whose ordinals are bit numbers.
template <class E> class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<E> items) {
        for (E e : items)
            bits_ |= bit(e);
    }
    static constexpr EnumSet fromBits(std::uint32_t bits) {
        EnumSet s;
        s.bits_ = bits;
        return s;
    }
    constexpr bool contains(E e) const { return bits_ & bit(e); }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr std::uint32_t bits() const { return bits_; }
    constexpr void insert(E e) { bits_ |= bit(e); }
    constexpr void erase(E e) { bits_ &= ~bit(e); }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr std::uint32_t bit(E e) { return 1u << static_cast<unsigned>(e); }
    std::uint32_t bits_ = 0;
};

enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
using TComEvents = EnumSet<TComEvent>;
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// Line errors (bit n = ordinal n).
enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
using TComErrors = EnumSet<TComError>;
// Modem inputs (bit n = ordinal n).
enum TComSignal { csCTS, csDSR, csRing, csRLSD };
using TComSignals = EnumSet<TComSignal>;
// Groups of the settings store (bit n = ordinal n: ssBasic 1 .. ssOthers 0x20).
enum TStoredSetting { ssBasic, ssFlowControl, ssBuffer, ssTimeouts, ssParity, ssOthers };
using TStoredSettings = EnumSet<TStoredSetting>;

enum TComponentStateFlag { csLoading, csDesigning };
using TComponentState = EnumSet<TComponentStateFlag>;

constexpr TComEvents AllComEvents = TComEvents::fromBits(0x3FF);

class TCustomComPort;

// The class library's failure for assigning between unrelated classes.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual const char* ClassName() const = 0;
    virtual void Assign(const TPersistent& source);

protected:
    [[noreturn]] void AssignError(const TPersistent& source) const;
};

// ---- settings objects ----

class TComTimeouts : public TPersistent {
public:
    TComTimeouts() = default;
    const char* ClassName() const override { return "TComTimeouts"; }
    void Assign(const TPersistent& source) override;

    std::int32_t ReadInterval() const { return fields_[0]; }
    std::int32_t ReadTotalMultiplier() const { return fields_[1]; }
    std::int32_t ReadTotalConstant() const { return fields_[2]; }
    std::int32_t WriteTotalMultiplier() const { return fields_[3]; }
    std::int32_t WriteTotalConstant() const { return fields_[4]; }
    void setReadInterval(std::int32_t v) { PutField(0, v); }
    void setReadTotalMultiplier(std::int32_t v) { PutField(1, v); }
    void setReadTotalConstant(std::int32_t v) { PutField(2, v); }
    void setWriteTotalMultiplier(std::int32_t v) { PutField(3, v); }
    void setWriteTotalConstant(std::int32_t v) { PutField(4, v); }

private:
    friend class TCustomComPort;
    void PutField(int index, std::int32_t value);

    TCustomComPort* ComPort_ = nullptr;
    std::int32_t fields_[5] = {-1, 0, 0, 100, 1000};
};

class TComFlowControl : public TPersistent {
public:
    TComFlowControl() = default;
    const char* ClassName() const override { return "TComFlowControl"; }
    void Assign(const TPersistent& source) override;

    bool OutCTSFlow() const { return outCTSFlow_; }
    bool OutDSRFlow() const { return outDSRFlow_; }
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DSRSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    char XonChar() const { return xonChar_; }
    char XoffChar() const { return xoffChar_; }
    TFlowControl FlowControl() const { return DeriveFlowControl(); }

    void setOutCTSFlow(bool v) { PutField(outCTSFlow_, v); }
    void setOutDSRFlow(bool v) { PutField(outDSRFlow_, v); }
    void setControlDTR(TDTRFlowControl v) { PutField(controlDTR_, v); }
    void setControlRTS(TRTSFlowControl v) { PutField(controlRTS_, v); }
    void setXonXoffOut(bool v) { PutField(xonXoffOut_, v); }
    void setXonXoffIn(bool v) { PutField(xonXoffIn_, v); }
    void setDSRSensitivity(bool v) { PutField(dsrSensitivity_, v); }
    void setTxContinueOnXoff(bool v) { PutField(txContinueOnXoff_, v); }
    void setXonChar(char v) { PutField(xonChar_, v); }
    void setXoffChar(char v) { PutField(xoffChar_, v); }
    void setFlowControl(TFlowControl v) { PutFlowControl(v); }

private:
    friend class TCustomComPort;
    template <class T> void PutField(T& field, T value) {
        if (field == value) return;
        field = value;
        Reapply();
    }
    void PutFlowControl(TFlowControl value);
    TFlowControl DeriveFlowControl() const;
    void Reapply();

    TCustomComPort* ComPort_ = nullptr;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

class TComParity : public TPersistent {
public:
    TComParity() = default;
    const char* ClassName() const override { return "TComParity"; }
    void Assign(const TPersistent& source) override;

    TParityBits Bits() const { return bits_; }
    // The event thread reads it while taking line errors.
    bool Check() const { return check_.load(std::memory_order_relaxed); }
    bool Replace() const { return replace_; }
    char ReplaceChar() const { return replaceChar_; }
    void setBits(TParityBits v);
    void setCheck(bool v);
    void setReplace(bool v);
    void setReplaceChar(char v);

private:
    friend class TCustomComPort;
    void Reapply();

    TCustomComPort* ComPort_ = nullptr;
    TParityBits bits_ = prNone;
    std::atomic<bool> check_{false};
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComBuffer : public TPersistent {
public:
    TComBuffer() = default;
    const char* ClassName() const override { return "TComBuffer"; }
    void Assign(const TPersistent& source) override;

    std::int32_t InputSize() const { return inputSize_; }
    std::int32_t OutputSize() const { return outputSize_; }
    void setInputSize(std::int32_t v) { PutInputSize(v); }
    void setOutputSize(std::int32_t v) { PutOutputSize(v); }

private:
    friend class TCustomComPort;
    void PutInputSize(std::int32_t value);
    void PutOutputSize(std::int32_t value);

    TCustomComPort* ComPort_ = nullptr;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};

// ---- one overlapped operation ----

struct TPortRequest {
    std::uint8_t kind = 0; // 0 write, 1 read
    std::unique_ptr<char[]> data;
    std::int32_t size = 0;
    platform::WakeEvent event; // set when the operation is aborted
    std::uint32_t transferred = 0;
    int error = 0;
};
void NewPortRequest(TPortRequest*& request);
void DisposePortRequest(TPortRequest*& request);
int RequestFailureMessage(const TPortRequest& request);

// ---- event handlers ----

// An event property: the owner's thread may assign it while the event thread
// calls it, so the handler is swapped and taken under a lock.
template <class F> class EventProperty {
public:
    EventProperty() = default;
    EventProperty(const EventProperty&) = delete;
    EventProperty& operator=(const EventProperty&) = delete;

    EventProperty& operator=(F handler) {
        auto p = handler ? std::make_shared<const F>(std::move(handler)) : nullptr;
        std::lock_guard lock(mutex_);
        handler_ = std::move(p);
        return *this;
    }
    EventProperty& operator=(std::nullptr_t) {
        std::lock_guard lock(mutex_);
        handler_.reset();
        return *this;
    }
    explicit operator bool() const { return get() != nullptr; }
    template <class... Args> void operator()(Args&&... args) const {
        if (auto h = get()) (*h)(std::forward<Args>(args)...);
    }

private:
    std::shared_ptr<const F> get() const {
        std::lock_guard lock(mutex_);
        return handler_;
    }
    mutable std::mutex mutex_;
    std::shared_ptr<const F> handler_;
};

using TNotifyEvent = std::function<void(TCustomComPort* Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort* Sender, int Count)>;
using TRxBufEvent = std::function<void(TCustomComPort* Sender, const void* Buffer, int Count)>;
using TComSignalEvent = std::function<void(TCustomComPort* Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(TCustomComPort* Sender, TComErrors Errors)>;

// Windows mask of an event set and back.
std::uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(std::uint32_t mask);

class TComThread;
class DeliveryChannel;

class TCustomComPort {
public:
    // Without a dispatcher the one of setMainThreadDispatcher() is used.
    explicit TCustomComPort(MainThreadDispatcher* dispatcher = nullptr);
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    std::string Name = "ComPort1";
    std::int32_t Tag = 0;

    // ---- component model ----
    TComponentState ComponentState() const { return state_; }
    void setDesigning(bool on);
    // Streaming sets the loading state; Loaded() ends it.
    void BeginLoading() { state_.insert(csLoading); }
    virtual void Loaded();

    // ---- properties ----
    bool Connected() const { return connected_.load(); }
    void setConnected(bool v) { PutConnected(v); }
    TBaudRate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudRate v) { PutBaudRate(v); }
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void setCustomBaudRate(std::int32_t v) { PutCustomBaudRate(v); }
    const std::string& Port() const { return port_; }
    void setPort(const std::string& v) { PutPort(v); }
    TStopBits StopBits() const { return stopBits_; }
    void setStopBits(TStopBits v) { PutStopBits(v); }
    TDataBits DataBits() const { return dataBits_; }
    void setDataBits(TDataBits v) { PutDataBits(v); }
    bool DiscardNull() const { return discardNull_; }
    void setDiscardNull(bool v) { PutDiscardNull(v); }
    char EventChar() const { return eventChar_; }
    void setEventChar(char v) { PutEventChar(v); }
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void setSyncMethod(TSyncMethod v) { PutSyncMethod(v); }
    // Takes effect at the next open.
    TComEvents Events = AllComEvents;
    TStoredSettings StoredSettings{ssBasic};

    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    void setParity(const TComParity& v) { PutParity(v); }
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    void setFlowControl(const TComFlowControl& v) { PutFlowControl(v); }
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void setTimeouts(const TComTimeouts& v) { PutTimeouts(v); }
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void setBuffer(const TComBuffer& v) { PutBuffer(v); }

    EventProperty<TNotifyEvent> OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose;
    EventProperty<TRxCharEvent> OnRxChar;
    EventProperty<TRxBufEvent> OnRxBuf;
    EventProperty<TNotifyEvent> OnTxEmpty, OnBreak, OnRing;
    EventProperty<TComSignalEvent> OnCTSChange, OnDSRChange, OnRLSDChange;
    EventProperty<TNotifyEvent> OnRxFlag;
    EventProperty<TComErrorEvent> OnError;
    EventProperty<TNotifyEvent> OnRx80Full;
    // The device went away while open (a USB adapter unplugged, a terminal
    // hung up): the port is closed (Connected() is false from before this is
    // raised), the event thread has ended and reports nothing more until the
    // port is opened again. Raised once, on the event thread, without the
    // close events.
    EventProperty<TNotifyEvent> OnDeviceLost;

    // ---- operations ----
    void Activate();
    void Deactivate();
    std::uint32_t BytesWaiting();
    TComSignals LineSignals();
    TComErrors TakeLineErrors();

    std::int32_t StartRead(void* buffer, std::int32_t count, TPortRequest* request);
    std::int32_t FinishRequest(TPortRequest* request);
    std::int32_t ReceiveBytes(void* buffer, std::int32_t count);
    void CancelPendingIO();

    // Settings store.
    virtual void SaveToRegistry(platform::RegistryAccessor& registry);
    virtual void SaveToIni(platform::IniFile& ini);
    virtual void LoadFromRegistry(platform::RegistryAccessor& registry);
    virtual void LoadFromIni(platform::IniFile& ini);

    // ---- event reporting (also called by the event thread) ----
    void ReportRxChar();
    void ReportTxEmpty();
    void ReportRxFlag();
    void ReportBreak();
    void ReportRing();
    void ReportRx80Full();
    void ReportCTSChange();
    void ReportDSRChange();
    void ReportRLSDChange();
    void ReportError();
    void ReportBeforeOpen();
    void ReportAfterOpen();
    void ReportBeforeClose();
    void ReportAfterClose();
    void ReportLineSignals(bool open);
    // The event window's procedure: one event by its Windows value.
    void EventWindowProc(std::uint32_t eventValue);

    // The writers of the sub-objects call these.
    virtual void WriteDeviceControl();
    virtual void WriteTimeouts();
    virtual void WriteQueueSizes();

    // The device control block and timeouts the current settings give.
    platform::DeviceControlBlock DeviceControl() const;
    platform::CommTimeouts CommTimeoutsRecord() const;

protected:
    virtual void OpenHandle();
    virtual void ShutHandle();
    virtual void ConfigurePort();

    virtual void FireAfterClose();
    virtual void FireAfterOpen();
    virtual void FireBeforeClose();
    virtual void FireBeforeOpen();
    virtual void FireRxChar(int Count);
    virtual void FireRxBuf(const void* Buffer, int Count);
    virtual void FireTxEmpty();
    virtual void FireBreak();
    virtual void FireRing();
    virtual void FireRxFlag();
    virtual void FireCTSChange(bool OnOff);
    virtual void FireDSRChange(bool OnOff);
    virtual void FireError(TComErrors Errors);
    virtual void FireRLSDChange(bool OnOff);
    virtual void FireRx80Full();

    void PutConnected(bool value);
    void PutBaudRate(TBaudRate value);
    void PutCustomBaudRate(std::int32_t value);
    void PutPort(const std::string& value);
    void PutStopBits(TStopBits value);
    void PutDataBits(TDataBits value);
    void PutDiscardNull(bool value);
    void PutEventChar(char value);
    void PutSyncMethod(TSyncMethod value);
    void PutParity(const TComParity& value);
    void PutFlowControl(const TComFlowControl& value);
    void PutTimeouts(const TComTimeouts& value);
    void PutBuffer(const TComBuffer& value);

private:
    bool applying() const;
    std::shared_ptr<platform::SerialDevice> device() const { return handle_; }
    void retireThread(std::unique_ptr<TComThread>& thread);
    // Lets go of the event thread, its delivery window and the handle.
    void releaseDevice();

    // Reads in flight, so a close can abort one that starts while it runs.
    std::mutex requestsMutex_;
    std::vector<TPortRequest*> requests_;
    bool closing_ = false;

    std::unique_ptr<TComThread> eventThread_;
    // A thread stopped from its own handler; joined at the next open or at the end.
    std::unique_ptr<TComThread> retiredThread_;
    bool threadCreated_ = false;
    std::shared_ptr<platform::SerialDevice> handle_; // null while closed
    std::shared_ptr<DeliveryChannel> eventWindow_;
    MainThreadDispatcher* dispatcher_;
    TComponentState state_;
    std::atomic<bool> connected_{false};
    TBaudRate baudRate_ = br9600;
    std::int32_t customBaudRate_ = 9600;
    std::string port_ = "COM1";
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComBuffer buffer_;
    TComParity parity_;
    TComTimeouts timeouts_;
    TComFlowControl flowControl_;
    TSyncMethod syncMethod_ = smThreadSync;

    friend class TComThread;
};

class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

// ---- converters of the settings texts ----
std::string BaudRateToText(TBaudRate v);
TBaudRate TextToBaudRate(const std::string& s);
std::string StopBitsToText(TStopBits v);
TStopBits TextToStopBits(const std::string& s);
std::string DataBitsToText(TDataBits v);
TDataBits TextToDataBits(const std::string& s);
std::string ParityToText(TParityBits v);
TParityBits TextToParity(const std::string& s);
std::string FlowControlToText(TFlowControl v);
TFlowControl TextToFlowControl(const std::string& s);
std::string DTRToText(TDTRFlowControl v);
TDTRFlowControl TextToDTR(const std::string& s);
std::string RTSToText(TRTSFlowControl v);
TRTSFlowControl TextToRTS(const std::string& s);
std::string BoolToText(bool v);
bool TextToBool(const std::string& s);
std::string CharToText(char c);
char TextToChar(const std::string& s);

} // namespace CPort
