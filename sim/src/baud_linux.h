// Exact line rates through termios2, which also covers odd rates such as 9650.
// Kept apart because <asm/termbits.h> clashes with <termios.h>.
#pragma once

namespace vilosim::detail {

// The output rate of a terminal in bit/s; on a pseudo-terminal master, the
// rate the host set on its side. -1 when it cannot be read.
int line_rate(int fd);
// Sets input and output rate to any rate (BOTHER); false on failure.
bool set_line_rate(int fd, int rate);

}  // namespace vilosim::detail
