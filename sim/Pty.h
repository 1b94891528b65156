#pragma once
// A pseudo-terminal pair standing in for a serial device: the simulated device
// drives the master, the port opens the slave by its path. A second slave
// descriptor stays open so the pair survives the port's closes (and the
// slave's settings can be read back).

#include <string>

namespace sim {

struct Pty {
    int master = -1;
    int slave = -1; // the kept slave descriptor, non-blocking
    std::string slavePath;
};

// `masterFlags` are added to O_RDWR | O_NOCTTY | O_CLOEXEC (O_NONBLOCK, say).
// Throws std::runtime_error when no pseudo-terminal can be had.
Pty openPty(int masterFlags = 0);

} // namespace sim
