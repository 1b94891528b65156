#pragma once
// The serial-device seam: one open serial port as the serial-port component
// needs it (configure, wait for events, read, purge, status). Every call
// answers 0 or a Windows error code, so the component can report failures with
// the codes its messages carry.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {

namespace serial {
// Windows error codes the device reports.
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_ACCESS_DENIED = 5;
constexpr int ERROR_GEN_FAILURE = 31;
constexpr int ERROR_INVALID_PARAMETER = 87;
constexpr int ERROR_OPERATION_ABORTED = 995;
constexpr int ERROR_IO_DEVICE = 1117;

// Communication events (event mask bits).
constexpr std::uint32_t EV_RXCHAR = 0x1;
constexpr std::uint32_t EV_RXFLAG = 0x2;
constexpr std::uint32_t EV_TXEMPTY = 0x4;
constexpr std::uint32_t EV_CTS = 0x8;
constexpr std::uint32_t EV_DSR = 0x10;
constexpr std::uint32_t EV_RLSD = 0x20;
constexpr std::uint32_t EV_BREAK = 0x40;
constexpr std::uint32_t EV_ERR = 0x80;
constexpr std::uint32_t EV_RING = 0x100;
constexpr std::uint32_t EV_RX80FULL = 0x400;

// Modem status bits.
constexpr std::uint32_t MS_CTS_ON = 0x10;
constexpr std::uint32_t MS_DSR_ON = 0x20;
constexpr std::uint32_t MS_RING_ON = 0x40;
constexpr std::uint32_t MS_RLSD_ON = 0x80;

// Line error bits.
constexpr std::uint32_t CE_RXOVER = 0x1;
constexpr std::uint32_t CE_OVERRUN = 0x2;
constexpr std::uint32_t CE_RXPARITY = 0x4;
constexpr std::uint32_t CE_FRAME = 0x8;
constexpr std::uint32_t CE_BREAK = 0x10;
constexpr std::uint32_t CE_TXFULL = 0x100;
constexpr std::uint32_t CE_IOE = 0x400;
constexpr std::uint32_t CE_MODE = 0x8000;

// Purge flags.
constexpr std::uint32_t PURGE_TXABORT = 0x1;
constexpr std::uint32_t PURGE_RXABORT = 0x2;
constexpr std::uint32_t PURGE_TXCLEAR = 0x4;
constexpr std::uint32_t PURGE_RXCLEAR = 0x8;

// Device control flag bits.
constexpr std::uint32_t fBinary = 0x1;
constexpr std::uint32_t fParity = 0x2;
constexpr std::uint32_t fOutxCtsFlow = 0x4;
constexpr std::uint32_t fOutxDsrFlow = 0x8;
constexpr std::uint32_t fDtrControlMask = 0x30;
constexpr std::uint32_t fDsrSensitivity = 0x40;
constexpr std::uint32_t fTXContinueOnXoff = 0x80;
constexpr std::uint32_t fOutX = 0x100;
constexpr std::uint32_t fInX = 0x200;
constexpr std::uint32_t fErrorChar = 0x400;
constexpr std::uint32_t fNull = 0x800;
constexpr std::uint32_t fRtsControlMask = 0x3000;
constexpr std::uint32_t DTR_CONTROL_DISABLE = 0x0, DTR_CONTROL_ENABLE = 0x10,
                        DTR_CONTROL_HANDSHAKE = 0x20;
constexpr std::uint32_t RTS_CONTROL_DISABLE = 0x0, RTS_CONTROL_ENABLE = 0x1000,
                        RTS_CONTROL_HANDSHAKE = 0x2000, RTS_CONTROL_TOGGLE = 0x3000;

constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;
} // namespace serial

// The device control block in the field order of the Windows record.
struct DeviceControlBlock {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    std::uint32_t Flags = 0;
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
    bool operator==(const DeviceControlBlock&) const = default;
};

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const CommTimeouts&) const = default;
};

// A manual-reset event that poll() can wait on (an eventfd): stays set until
// reset. Used to stop the event wait and to abort a read in flight.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;
    int fd() const { return fd_; }

private:
    int fd_;
};

enum class WaitStatus {
    Signalled,    // events holds the batch
    ResultFailed, // woke, but the batch could not be fetched: wait again
    Stopped,      // the stop event was set
    Failed,       // the wait itself failed (device lost): waiting again is pointless
};

// One open serial device; destroying it closes it. Safe for the event thread
// and the owner's thread to call at the same time.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual int setupQueues(std::uint32_t inSize, std::uint32_t outSize) = 0;
    virtual int setState(const DeviceControlBlock& dcb) = 0;
    virtual int setTimeouts(const CommTimeouts& timeouts) = 0;
    virtual int setEventMask(std::uint32_t mask) = 0;
    // Blocks until an event of the mask occurs, the stop event is set or the
    // device fails. A lost device is reported as failed even when the stop
    // event is set: with the stop set before, it is a question that does
    // not wait.
    virtual WaitStatus waitEvent(std::uint32_t& events, const WakeEvent& stop) = 0;
    // Reads by the timeout rules in force; `abort` is set by an abort purge.
    virtual int read(void* buffer, std::uint32_t count, std::uint32_t& got, WakeEvent& abort) = 0;
    virtual int purge(std::uint32_t flags) = 0;
    // Takes and clears the line errors; reports the input queue count.
    virtual int clearError(std::uint32_t& errors, std::uint32_t& inQueue) = 0;
    virtual int modemStatus(std::uint32_t& status) = 0;
};

// Opens a device by path; on failure returns null and sets `error` to the
// Windows code.
using SerialOpener =
    std::function<std::shared_ptr<SerialDevice>(const std::string& path, int& error)>;

std::shared_ptr<SerialDevice> openSerialDevice(const std::string& path, int& error);
// Empty restores the Linux backend.
void setSerialOpener(SerialOpener opener);
std::shared_ptr<SerialDevice> openLinuxSerialDevice(const std::string& path, int& error);

class ScopedSerialOpener {
public:
    explicit ScopedSerialOpener(SerialOpener opener) { setSerialOpener(std::move(opener)); }
    ~ScopedSerialOpener() { setSerialOpener({}); }
    ScopedSerialOpener(const ScopedSerialOpener&) = delete;
    ScopedSerialOpener& operator=(const ScopedSerialOpener&) = delete;
};

// The Windows code for an errno value.
int windowsErrorFromErrno(int err);

// Port names: a name beginning with "/" is the device path itself; "COMn"
// (any letter case, n >= 1) goes through the COM table, which by default maps
// it to /dev/ttyS<n-1>. Any other name has no device (empty path).
std::string serialDevicePath(std::string_view portName);
// The path of COMn; an entry set below replaces the default.
std::string comPortPath(int n);
void setComPortPath(int n, std::string path);
void clearComPortPaths();

} // namespace platform
