#pragma once
// Reads a terminal's settings back through termios2 (implemented apart from
// <termios.h>, which clashes with the kernel's definitions).

#include <cstdint>

namespace testsupport {

struct LineSettings {
    std::uint32_t inputSpeed = 0;
    std::uint32_t outputSpeed = 0;
    // (A pseudo-terminal keeps eight data bits without parity whatever it is
    // told, so those are not read back.)
    bool twoStopBits = false;
    bool rtsCts = false;
    bool xonOut = false;
    bool xonIn = false;
    unsigned char startChar = 0;
    unsigned char stopChar = 0;
    bool raw = false; // no canonical mode, echo, signals, output processing, input mapping
    bool customRate = false;
};

bool readLineSettings(int fd, LineSettings& out);

} // namespace testsupport
