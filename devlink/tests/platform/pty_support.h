// Pseudo-terminals and port directories for the tests of the serial port: the master side
// plays the device, the slave is published as COMn in a port directory of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace devlink::platform::testing {

using namespace std::chrono_literals;

class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    int master() const { return master_; }
    const std::string &slave() const { return slave_; }

    // Writes all bytes to the master side (towards the port).
    void Write(const std::vector<std::uint8_t> &bytes) const;
    // Reads from the master side until count bytes came or no byte came for patience.
    std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds patience = 5000ms) const;
    // The device goes away: the port sees a hang-up.
    void CloseMaster();

private:
    int master_ = -1;
    std::string slave_;
};

// A temporary directory published as DEVLINK_PORT_DIR while the object lives.
class PortDir {
public:
    PortDir();
    ~PortDir();
    PortDir(const PortDir &) = delete;
    PortDir &operator=(const PortDir &) = delete;

    const std::string &path() const { return path_; }
    // Makes COMn a symbolic link to target.
    void Link(unsigned portNumber, const std::string &target) const;

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Opens COMn and makes the calls the port object makes when it opens a port, each of which
// must succeed; null (with a test failure) otherwise.
std::unique_ptr<SerialPort> OpenLikeThePortObject(unsigned portNumber, std::uint32_t baudRate,
                                                  std::uint16_t readTimeoutMs);

// Both rates of the line as the far side sees them (termios2; see line_rates.cpp).
struct LineRates {
    std::uint32_t input = 0;
    std::uint32_t output = 0;
};
bool ReadLineRates(int fd, LineRates &rates);

std::vector<std::uint8_t> Bytes(const std::string &text);

}  // namespace devlink::platform::testing
