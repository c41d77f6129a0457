#include "baud_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vilosim::detail {

int line_rate(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return -1;
    return static_cast<int>(t.c_ospeed);
}

bool set_line_rate(int fd, int rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ospeed = static_cast<speed_t>(rate);
    t.c_ispeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace vilosim::detail
