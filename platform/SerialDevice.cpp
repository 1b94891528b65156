#include "platform/SerialDevice.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace platform {

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

WakeEvent::~WakeEvent() {
    ::close(fd_);
}

void WakeEvent::set() {
    std::uint64_t one = 1;
    // Only an overflowing counter can refuse, and then the event is set anyway.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeEvent::reset() {
    std::uint64_t value;
    while (::read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool WakeEvent::isSet() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

namespace {
std::mutex registryMutex;
SerialOpener currentOpener;
std::map<int, std::string> comPaths;
} // namespace

std::shared_ptr<SerialDevice> openSerialDevice(const std::string& path, int& error) {
    SerialOpener opener;
    {
        std::lock_guard lock(registryMutex);
        opener = currentOpener;
    }
    if (opener) return opener(path, error);
    return openLinuxSerialDevice(path, error);
}

void setSerialOpener(SerialOpener opener) {
    std::lock_guard lock(registryMutex);
    currentOpener = std::move(opener);
}

int windowsErrorFromErrno(int err) {
    using namespace serial;
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        return ERROR_ACCESS_DENIED;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EIO:
        return ERROR_IO_DEVICE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

std::string comPortPath(int n) {
    {
        std::lock_guard lock(registryMutex);
        auto it = comPaths.find(n);
        if (it != comPaths.end()) return it->second;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

void setComPortPath(int n, std::string path) {
    std::lock_guard lock(registryMutex);
    comPaths[n] = std::move(path);
}

void clearComPortPaths() {
    std::lock_guard lock(registryMutex);
    comPaths.clear();
}

std::string serialDevicePath(std::string_view portName) {
    if (!portName.empty() && portName.front() == '/') return std::string(portName);
    if (portName.size() < 4 || portName.size() > 12) return {};
    for (int i = 0; i < 3; ++i)
        if ((portName[i] & ~0x20) != "COM"[i]) return {};
    long n = 0;
    for (std::size_t i = 3; i < portName.size(); ++i) {
        char c = portName[i];
        if (c < '0' || c > '9') return {};
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 9999) return {};
    return comPortPath(static_cast<int>(n));
}

} // namespace platform
