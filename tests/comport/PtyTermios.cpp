// termios2 read-back for the pty tests; kept apart from <termios.h>.
#include "support/PtyTermios.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace testsupport {

bool readLineSettings(int fd, LineSettings& out) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) return false;
    out.inputSpeed = t.c_ispeed;
    out.outputSpeed = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        out.dataBits = 5;
        break;
    case CS6:
        out.dataBits = 6;
        break;
    case CS7:
        out.dataBits = 7;
        break;
    default:
        out.dataBits = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        out.parity = 'N';
    else if (t.c_cflag & CMSPAR)
        out.parity = (t.c_cflag & PARODD) ? 'M' : 'S';
    else
        out.parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    out.twoStopBits = t.c_cflag & CSTOPB;
    out.rtsCts = t.c_cflag & CRTSCTS;
    out.xonOut = t.c_iflag & IXON;
    out.xonIn = t.c_iflag & IXOFF;
    out.startChar = t.c_cc[VSTART];
    out.stopChar = t.c_cc[VSTOP];
    out.raw = !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
              !(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | INPCK | PARMRK));
    out.customRate = (t.c_cflag & CBAUD) == BOTHER;
    return true;
}

} // namespace testsupport
