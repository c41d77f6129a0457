// Any line rate through the kernel's termios2: BOTHER with the rate in c_ispeed / c_ospeed.
// This file must not include <termios.h> (see serial_posix_detail.h).
#include "serial_posix_detail.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace devlink::platform::posix {

bool SetLineRate(int fd, std::uint32_t baudRate)
{
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    // Both directions take the rate from c_ispeed / c_ospeed; a rate left in the input field
    // by an earlier setting must not survive.
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = baudRate;
    settings.c_ospeed = baudRate;
    return ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace devlink::platform::posix
