#include "desk/PortHold.h"

#include "platform/SerialDevice.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace desk {

PortHolds::~PortHolds() {
    for (const int fd : fds_)
        ::close(fd);
}

bool PortHolds::hold(int n) {
    if (n < 1) return false;
    const std::string path = platform::comPortPath(n);
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Not shared: the lock keeps out every other holder (our own second
    // hold included), TIOCEXCL every later open of a terminal device.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    if (::isatty(fd)) (void)::ioctl(fd, TIOCEXCL);
    fds_.push_back(fd);
    paths_.push_back(path);
    return true;
}

} // namespace desk
