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
