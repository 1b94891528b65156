#include "sim/Pty.h"

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace sim {

Pty openPty(int masterFlags) {
    Pty p;
    p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | masterFlags);
    if (p.master < 0) throw std::runtime_error("no pseudo-terminal");
    char name[128];
    if (::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0 ||
        ::ptsname_r(p.master, name, sizeof name) != 0) {
        ::close(p.master);
        throw std::runtime_error("no pseudo-terminal");
    }
    p.slavePath = name;
    p.slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (p.slave < 0) {
        ::close(p.master);
        throw std::runtime_error("pseudo-terminal's slave cannot be opened");
    }
    return p;
}

} // namespace sim
