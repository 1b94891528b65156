// The Linux serial device: termios2 for every rate, poll on the descriptor
// plus eventfds for stopping and aborting. <asm/termbits.h> and <termios.h>
// cannot share a translation unit, so this file keeps to the kernel's headers.
#include "platform/SerialDevice.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <linux/serial.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <set>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

using namespace serial;
using SteadyClock = std::chrono::steady_clock;

// Modem lines and line errors have no wake-up of their own: poll them this often.
constexpr int statusPollMs = 5;
// A wake that brings no new characters waits this long before looking again.
constexpr int rxBackoffMs = 1;

bool unsupported(int err) {
    return err == ENOTTY || err == EINVAL;
}

class LinuxSerialDevice final : public SerialDevice {
public:
    explicit LinuxSerialDevice(int fd) : fd_(fd) {
        serial_icounter_struct c{};
        if (::ioctl(fd_, TIOCGICOUNT, &c) == 0)
            clearBase_ = c;
        else
            icountWorks_ = false;
    }
    ~LinuxSerialDevice() override { ::close(fd_); }

    int setupQueues(std::uint32_t, std::uint32_t) override {
        // The driver's queues have fixed sizes on Linux.
        return 0;
    }

    int setState(const DeviceControlBlock& dcb) override;
    int setTimeouts(const CommTimeouts& timeouts) override {
        std::lock_guard lock(mutex_);
        timeouts_ = timeouts;
        return 0;
    }
    int setEventMask(std::uint32_t mask) override;
    WaitStatus waitEvent(std::uint32_t& events, const WakeEvent& stop) override;
    int read(void* buffer, std::uint32_t count, std::uint32_t& got, WakeEvent& abort) override;
    int purge(std::uint32_t flags) override;
    int clearError(std::uint32_t& errors, std::uint32_t& inQueue) override;
    int modemStatus(std::uint32_t& status) override;

private:
    // All with mutex_ held.
    bool inputCount(std::uint64_t& inq);
    std::uint32_t modemEvents();
    std::uint32_t countEvents();

    const int fd_;
    std::mutex mutex_;
    CommTimeouts timeouts_{};
    std::uint32_t mask_ = 0;
    std::uint64_t consumed_ = 0;  // bytes read or flushed so far
    std::uint64_t lastTotal_ = 0; // consumed + queued at the last characters event
    int lastModem_ = 0;
    serial_icounter_struct eventBase_{};
    serial_icounter_struct clearBase_{};
    bool modemWorks_ = true;
    bool icountWorks_ = true;
    std::set<WakeEvent*> reads_;
};

int LinuxSerialDevice::setState(const DeviceControlBlock& dcb) {
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 || dcb.StopBits > 2 ||
        dcb.BaudRate == 0)
        return ERROR_INVALID_PARAMETER;
    // One and a half stop bits exist only with five data bits.
    if (dcb.StopBits == 1 && dcb.ByteSize != 5) return ERROR_INVALID_PARAMETER;

    termios2 t{};
    if (::ioctl(fd_, TCGETS2, &t) < 0) return windowsErrorFromErrno(errno);

    // Always raw; a byte with a parity error is passed on unchanged.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
    t.c_cflag &=
        ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != 0) t.c_cflag |= CSTOPB;
    const std::uint32_t rts = dcb.Flags & fRtsControlMask;
    if ((dcb.Flags & fOutxCtsFlow) || rts == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
    if (dcb.Flags & fOutX) t.c_iflag |= IXON;
    if (dcb.Flags & fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    // VMIN 1: an empty queue reads as EAGAIN on the non-blocking descriptor,
    // so that 0 keeps meaning a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_ispeed = dcb.BaudRate;
    t.c_ospeed = dcb.BaudRate;
    if (::ioctl(fd_, TCSETS2, &t) < 0) return windowsErrorFromErrno(errno);

    // Linux raises DTR and RTS on open: lower them when the setting says so.
    const std::uint32_t dtr = dcb.Flags & fDtrControlMask;
    int dtrBit = TIOCM_DTR, rtsBit = TIOCM_RTS;
    if (::ioctl(fd_, dtr == DTR_CONTROL_DISABLE ? TIOCMBIC : TIOCMBIS, &dtrBit) < 0 &&
        !unsupported(errno))
        return windowsErrorFromErrno(errno);
    const bool rtsOn = rts == RTS_CONTROL_ENABLE || rts == RTS_CONTROL_HANDSHAKE;
    if (::ioctl(fd_, rtsOn ? TIOCMBIS : TIOCMBIC, &rtsBit) < 0 && !unsupported(errno))
        return windowsErrorFromErrno(errno);
    return 0;
}

bool LinuxSerialDevice::inputCount(std::uint64_t& inq) {
    int n = 0;
    if (::ioctl(fd_, TIOCINQ, &n) < 0) return false;
    inq = static_cast<std::uint64_t>(std::max(n, 0));
    return true;
}

int LinuxSerialDevice::setEventMask(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    mask_ = mask;
    std::uint64_t inq = 0;
    inputCount(inq);
    lastTotal_ = consumed_ + inq;
    int m = 0;
    if (modemWorks_ && ::ioctl(fd_, TIOCMGET, &m) == 0) lastModem_ = m;
    serial_icounter_struct c{};
    if (icountWorks_ && ::ioctl(fd_, TIOCGICOUNT, &c) == 0) eventBase_ = c;
    return 0;
}

std::uint32_t LinuxSerialDevice::modemEvents() {
    int m = 0;
    if (::ioctl(fd_, TIOCMGET, &m) < 0) {
        modemWorks_ = false;
        return 0;
    }
    const int changed = m ^ lastModem_;
    std::uint32_t ev = 0;
    if (changed & TIOCM_CTS) ev |= EV_CTS;
    if (changed & TIOCM_DSR) ev |= EV_DSR;
    if (changed & TIOCM_CD) ev |= EV_RLSD;
    if ((changed & TIOCM_RI) && (m & TIOCM_RI)) ev |= EV_RING;
    lastModem_ = m;
    return ev;
}

std::uint32_t LinuxSerialDevice::countEvents() {
    serial_icounter_struct c{};
    if (::ioctl(fd_, TIOCGICOUNT, &c) < 0) {
        icountWorks_ = false;
        return 0;
    }
    std::uint32_t ev = 0;
    if (c.frame != eventBase_.frame || c.parity != eventBase_.parity ||
        c.overrun != eventBase_.overrun || c.buf_overrun != eventBase_.buf_overrun)
        ev |= EV_ERR;
    if (c.brk != eventBase_.brk) ev |= EV_BREAK;
    eventBase_ = c;
    return ev;
}

WaitStatus LinuxSerialDevice::waitEvent(std::uint32_t& events, const WakeEvent& stop) {
    bool backoff = false;
    for (;;) {
        bool wantRx, wantStatus;
        {
            std::lock_guard lock(mutex_);
            wantRx = mask_ & EV_RXCHAR;
            wantStatus = ((mask_ & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)) && modemWorks_) ||
                         ((mask_ & (EV_ERR | EV_BREAK)) && icountWorks_);
        }
        int timeout = wantStatus ? statusPollMs : -1;
        if (backoff) timeout = rxBackoffMs;
        pollfd fds[2] = {{fd_, static_cast<short>(wantRx && !backoff ? POLLIN : 0), 0},
                         {stop.fd(), POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0) {
            if (errno == EINTR) continue;
            return WaitStatus::Failed;
        }
        // A hung-up device never becomes ready again: waiting on would spin.
        // Told before a stop, so that a wait with the stop set asks whether
        // the device is still there.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitStatus::Failed;
        if (fds[1].revents) return WaitStatus::Stopped;

        std::lock_guard lock(mutex_);
        std::uint32_t ev = 0;
        backoff = false;
        if (mask_ & EV_RXCHAR) {
            std::uint64_t inq = 0;
            if (!inputCount(inq)) return WaitStatus::Failed;
            const std::uint64_t total = consumed_ + inq;
            if (total > lastTotal_)
                ev |= EV_RXCHAR;
            else if (inq > 0)
                backoff = true; // characters seen before and still unread
            lastTotal_ = total;
        }
        if ((mask_ & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)) && modemWorks_) ev |= modemEvents();
        if ((mask_ & (EV_ERR | EV_BREAK)) && icountWorks_) ev |= countEvents();
        ev &= mask_;
        if (ev) {
            events = ev;
            return WaitStatus::Signalled;
        }
    }
}

int LinuxSerialDevice::read(void* buffer, std::uint32_t count, std::uint32_t& got,
                            WakeEvent& abort) {
    got = 0;
    if (count == 0) return 0;
    CommTimeouts to;
    {
        std::lock_guard lock(mutex_);
        to = timeouts_;
        reads_.insert(&abort);
    }
    struct Unregister {
        LinuxSerialDevice* self;
        WakeEvent* e;
        ~Unregister() {
            std::lock_guard lock(self->mutex_);
            self->reads_.erase(e);
        }
    } unregister{this, &abort};

    const std::uint32_t interval = to.ReadIntervalTimeout;
    const std::uint32_t mult = to.ReadTotalTimeoutMultiplier;
    const std::uint32_t constant = to.ReadTotalTimeoutConstant;
    // What is queued, at once.
    const bool immediate = interval == MAXDWORD && mult == 0 && constant == 0;
    // What is queued; when nothing is, the first byte within the constant.
    const bool firstByte =
        interval == MAXDWORD && mult == MAXDWORD && constant != 0 && constant != MAXDWORD;
    const auto start = SteadyClock::now();
    std::optional<SteadyClock::time_point> totalDeadline;
    if (firstByte)
        totalDeadline = start + std::chrono::milliseconds(constant);
    else if (!immediate && (mult != 0 || constant != 0))
        totalDeadline = start + std::chrono::milliseconds(std::uint64_t(mult) * count + constant);
    const bool useInterval = !immediate && !firstByte && interval != 0 && interval != MAXDWORD;
    SteadyClock::time_point lastByte{};

    auto* out = static_cast<unsigned char*>(buffer);
    for (;;) {
        ssize_t n;
        int err = 0;
        {
            std::lock_guard lock(mutex_);
            n = ::read(fd_, out + got, count - got);
            if (n > 0)
                consumed_ += static_cast<std::uint64_t>(n);
            else if (n < 0)
                err = errno;
        }
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            lastByte = SteadyClock::now();
            if (got == count) return 0;
            continue;
        }
        if (n == 0) // end of file on a terminal: the device hung up
            return got > 0 ? 0 : ERROR_IO_DEVICE;
        if (err == EINTR) continue;
        if (err != EAGAIN && err != EWOULDBLOCK) return got > 0 ? 0 : windowsErrorFromErrno(err);

        if (immediate || (firstByte && got > 0)) return 0;
        std::optional<SteadyClock::time_point> deadline = totalDeadline;
        if (useInterval && got > 0) {
            auto d = lastByte + std::chrono::milliseconds(interval);
            if (!deadline || d < *deadline) deadline = d;
        }
        int timeout = -1;
        if (deadline) {
            auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
            if (left.count() <= 0) return 0;
            timeout = static_cast<int>(std::min<long long>(left.count(), 1 << 30));
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {abort.fd(), POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return got > 0 ? 0 : windowsErrorFromErrno(errno);
        if (fds[1].revents) return ERROR_OPERATION_ABORTED;
        // A hang-up shows as readable; the next read() reports it.
    }
}

int LinuxSerialDevice::purge(std::uint32_t flags) {
    if (flags & PURGE_RXABORT) {
        std::lock_guard lock(mutex_);
        for (WakeEvent* e : reads_)
            e->set();
    }
    // No writes are ever started, so aborting them has nothing to do.
    if (flags & (PURGE_RXCLEAR | PURGE_TXCLEAR)) {
        std::lock_guard lock(mutex_);
        std::uint64_t inq = 0;
        const bool counted = (flags & PURGE_RXCLEAR) && inputCount(inq);
        const int which = (flags & PURGE_RXCLEAR) && (flags & PURGE_TXCLEAR) ? TCIOFLUSH
                          : (flags & PURGE_RXCLEAR)                          ? TCIFLUSH
                                                                             : TCOFLUSH;
        if (::ioctl(fd_, TCFLSH, which) < 0) return windowsErrorFromErrno(errno);
        if (counted) consumed_ += inq;
    }
    return 0;
}

int LinuxSerialDevice::clearError(std::uint32_t& errors, std::uint32_t& inQueue) {
    std::lock_guard lock(mutex_);
    errors = 0;
    std::uint64_t inq = 0;
    if (!inputCount(inq)) return windowsErrorFromErrno(errno);
    inQueue = static_cast<std::uint32_t>(std::min<std::uint64_t>(inq, MAXDWORD));
    if (icountWorks_) {
        serial_icounter_struct c{};
        if (::ioctl(fd_, TIOCGICOUNT, &c) == 0) {
            if (c.frame != clearBase_.frame) errors |= CE_FRAME;
            if (c.parity != clearBase_.parity) errors |= CE_RXPARITY;
            if (c.overrun != clearBase_.overrun) errors |= CE_OVERRUN;
            if (c.buf_overrun != clearBase_.buf_overrun) errors |= CE_RXOVER;
            if (c.brk != clearBase_.brk) errors |= CE_BREAK;
            clearBase_ = c;
        } else if (unsupported(errno)) {
            icountWorks_ = false;
        } else {
            return windowsErrorFromErrno(errno);
        }
    }
    return 0;
}

int LinuxSerialDevice::modemStatus(std::uint32_t& status) {
    status = 0;
    int m = 0;
    if (::ioctl(fd_, TIOCMGET, &m) < 0) {
        // Pseudo-terminals have no modem lines: none is active.
        if (unsupported(errno)) return 0;
        return windowsErrorFromErrno(errno);
    }
    if (m & TIOCM_CTS) status |= MS_CTS_ON;
    if (m & TIOCM_DSR) status |= MS_DSR_ON;
    if (m & TIOCM_RI) status |= MS_RING_ON;
    if (m & TIOCM_CD) status |= MS_RLSD_ON;
    return 0;
}

} // namespace

std::shared_ptr<SerialDevice> openLinuxSerialDevice(const std::string& path, int& error) {
    error = 0;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = windowsErrorFromErrno(errno);
        return nullptr;
    }
    // One program at a time owns a port: TIOCEXCL keeps out other openers, the
    // lock also those with the privilege to pass TIOCEXCL.
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0 || (::ioctl(fd, TIOCEXCL) < 0 && !unsupported(errno))) {
        error = windowsErrorFromErrno(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<LinuxSerialDevice>(fd);
}

} // namespace platform
