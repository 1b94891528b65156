#include "sim/SimReceiver.h"

#include "sim/Pty.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

SimReceiver::SimReceiver() {
    // Non-blocking: with the port closed for long a full terminal drops
    // characters instead of stalling the sender (and its join).
    const Pty pty = openPty(O_NONBLOCK);
    master_ = pty.master;
    slaveKeeper_ = pty.slave;
    slavePath_ = pty.slavePath;
    // Raw until the port sets its own mode: no line editing holds bytes back.
    termios t{};
    if (::tcgetattr(slaveKeeper_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(slaveKeeper_, TCSANOW, &t);
    }
    thread_ = std::thread([this] { run(); });
}

SimReceiver::~SimReceiver() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
    ::close(slaveKeeper_);
    ::close(master_);
}

std::vector<std::uint8_t> SimReceiver::frame(int taste) {
    const auto k = static_cast<std::uint8_t>(taste);
    return {0xE0, static_cast<std::uint8_t>(0x11 * k), static_cast<std::uint8_t>(0xFF - 0x0D * k),
            static_cast<std::uint8_t>(0x80 | k)};
}

void SimReceiver::press(int taste) {
    if (taste < 1 || taste > kTasten) return;
    {
        std::lock_guard lock(mutex_);
        taste_ = taste;
        held_ = true;
    }
    cv_.notify_all();
}

void SimReceiver::release() {
    std::lock_guard lock(mutex_);
    held_ = false;
}

void SimReceiver::writeByte(std::uint8_t b) {
    for (;;) {
        const ssize_t n = ::write(master_, &b, 1);
        if (n == 1 || (n < 0 && errno != EINTR)) return;
    }
}

void SimReceiver::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        cv_.wait(lock, [&] { return stop_ || taste_ != 0; });
        if (stop_) return;
        const int taste = taste_;
        for (int sent = 0; !stop_ && (held_ || sent < kMindestFrames); ++sent) {
            lock.unlock();
            for (std::uint8_t b : frame(taste)) {
                writeByte(b);
                std::this_thread::sleep_for(std::chrono::milliseconds(kZeichenMs));
            }
            lock.lock();
            cv_.wait_for(lock, std::chrono::milliseconds(kFrameAbstandMs), [&] { return stop_; });
        }
        taste_ = 0;
    }
}

} // namespace sim
