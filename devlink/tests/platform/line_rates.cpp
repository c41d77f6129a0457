// Reading the rates back needs the kernel's termios2, which cannot share a file with
// <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "pty_support.h"

namespace devlink::platform::testing {

bool ReadLineRates(int fd, LineRates &rates)
{
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    rates.input = settings.c_ispeed;
    rates.output = settings.c_ospeed;
    return true;
}

}  // namespace devlink::platform::testing
