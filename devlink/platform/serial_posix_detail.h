// What serial_posix.cpp shares with serial_rate_linux.cpp and with the tests of this layer.
// The rate lives in a file of its own because the kernel's termios2 (<asm/termbits.h>) and
// the C library's <termios.h> cannot be included together.
#pragma once

#include <cstdint>
#include <string>

namespace devlink::platform::posix {

// The device path of the port "COMn": with DEVLINK_PORT_DIR set (and not empty), only
// $DEVLINK_PORT_DIR/COMn; otherwise /dev/COMn when that name exists (also as a dangling
// link, which then reads as a missing port), else /dev/ttyS<n-1>.
std::string PortDevicePath(unsigned portNumber);

// Sets input and output rate of the tty to any rate in bits per second, standard or not,
// leaving the other settings alone; false with errno set when the driver refuses it.
bool SetLineRate(int fd, std::uint32_t baudRate);

}  // namespace devlink::platform::posix
