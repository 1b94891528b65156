#pragma once
// A pseudo-terminal pair for serial tests: the component opens the slave by
// path, the test drives the master. A second slave descriptor stays open so
// the slave's settings can be read back and the pair survives the port's
// close.

#include "sim/Pty.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace testsupport {

class PtyPair {
public:
    PtyPair() {
        const sim::Pty pty = sim::openPty();
        master_ = pty.master;
        observer_ = pty.slave;
        slavePath_ = pty.slavePath;
    }
    ~PtyPair() {
        closeMaster();
        if (observer_ >= 0) ::close(observer_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    // A descriptor of the slave side, for reading its settings back.
    int slaveObserver() const { return observer_; }

    // Writes all bytes to the master (the port receives them).
    bool write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN) {
                    pollfd p{master_, POLLOUT, 0};
                    ::poll(&p, 1, 100);
                    continue;
                }
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The device is gone as far as the slave side can tell.
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int observer_ = -1;
    std::string slavePath_;
};

} // namespace testsupport
