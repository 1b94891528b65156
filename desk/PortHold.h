#pragma once
// "Allocate": the chosen serial port is held open for the rest of the run, so
// that no other program takes it while the adapter is driven through its
// registers. Each hold opens the device anew and keeps every handle until the
// program ends; a second hold of a port that another holder has is refused.

#include <string>
#include <vector>

namespace desk {

class PortHolds {
public:
    PortHolds() = default;
    ~PortHolds(); // closes every handle (the program's end)
    PortHolds(const PortHolds&) = delete;
    PortHolds& operator=(const PortHolds&) = delete;

    // Opens COMn (the serial ports' name table) without becoming its controlling terminal and
    // without waiting for a carrier, exclusively (TIOCEXCL where the device supports it, and an
    // advisory lock). False when the open or the lock is refused.
    bool hold(int n);
    std::size_t count() const { return fds_.size(); }
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::vector<int> fds_;
    std::vector<std::string> paths_;
};

} // namespace desk
