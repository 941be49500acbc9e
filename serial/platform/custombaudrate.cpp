#include "custombaudrate.h"

// The kernel's own termios2 definitions; they clash with <termios.h>, hence this file of its own.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace SerialPlatform {

int setCustomBaudRate(int fd, int bitsPerSecond)
{
    struct termios2 t;
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    t.c_cflag &= ~tcflag_t(CBAUD);
    t.c_cflag |= BOTHER;
    t.c_cflag &= ~tcflag_t(CBAUD << IBSHIFT);
    t.c_cflag |= BOTHER << IBSHIFT;
    t.c_ispeed = speed_t(bitsPerSecond);
    t.c_ospeed = speed_t(bitsPerSecond);
    if (::ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

} // namespace SerialPlatform
