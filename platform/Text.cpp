#include "platform/Text.h"

#include "platform/Errors.h"
#include "platform/ScopeExit.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string trimmed(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ')
        ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ')
        --b;
    return std::string(s.substr(a, b - a));
}

namespace {
[[noreturn]] void throwNonPlainFile(const std::string& name) {
    throw EInOutError("Datei >" + name +
                      "< ist keine gew\xF6hnliche Datei (Ordner, Ger\xE4t oder FIFO)\r"
                      "Not a regular file (folder, device or FIFO)");
}
} // namespace

void refuseNonPlainFile(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) throwNonPlainFile(name);
}

std::string readWholeFile(const std::string& name) {
    const std::string fehler = "Datei >" + name + "< kann nicht gelesen werden";
    // Opened without waiting: a FIFO must not stall the program until a
    // writer comes. Only a plain file is read (not a folder, device or FIFO).
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw EInOutError(fehler);
    ScopeExit zu([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw EInOutError(fehler);
    if (!S_ISREG(st.st_mode)) throwNonPlainFile(name);
    std::string s;
    char puffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, puffer, sizeof puffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EInOutError(fehler);
        }
        s.append(puffer, static_cast<std::size_t>(n));
    }
    return s;
}

} // namespace platform
