#include "desk/AtomicFile.h"

#include "platform/Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace desk {

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::string target = path.string();
    std::string tmp = target + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    auto fail = [&](const char* what) {
        const std::string reason = std::strerror(errno);
        throw EInOutError("Datei >" + target + "< " + what + ": " + reason);
    };
    if (fd < 0)
        fail("kann nicht geschrieben werden");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            errno = e;
            fail("kann nicht geschrieben werden");
        }
        done += static_cast<std::size_t>(n);
    }
    // The mode a plain new file would get, not mkstemp's private one.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        fail("kann nicht geschrieben werden");
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        fail("kann nicht ersetzt werden");
    }
}

} // namespace desk
