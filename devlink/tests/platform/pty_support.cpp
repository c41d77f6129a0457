#include "pty_support.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace devlink::platform::testing {

namespace {

[[noreturn]] void Fail(const char *what)
{
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

Pty::Pty()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        Fail("posix_openpt");
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
        Fail("pseudo-terminal slave");
    slave_ = name;
}

Pty::~Pty()
{
    CloseMaster();
}

void Pty::Write(const std::vector<std::uint8_t> &bytes) const
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("write to the master");
        done += static_cast<std::size_t>(n);
    }
}

std::vector<std::uint8_t> Pty::Read(std::size_t count, std::chrono::milliseconds patience) const
{
    std::vector<std::uint8_t> got;
    std::uint8_t chunk[4096];
    while (got.size() < count) {
        pollfd ready{master_, POLLIN, 0};
        const int polled = poll(&ready, 1, static_cast<int>(patience.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0 || (ready.revents & POLLIN) == 0)
            break;
        const ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - got.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

void Pty::CloseMaster()
{
    if (master_ >= 0)
        close(master_);
    master_ = -1;
}

PortDir::PortDir()
{
    char pattern[] = "/tmp/devlink-ports-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        Fail("mkdtemp");
    path_ = pattern;
    if (const char *previous = std::getenv("DEVLINK_PORT_DIR")) {
        hadPrevious_ = true;
        previous_ = previous;
    }
    setenv("DEVLINK_PORT_DIR", path_.c_str(), 1);
}

PortDir::~PortDir()
{
    if (hadPrevious_)
        setenv("DEVLINK_PORT_DIR", previous_.c_str(), 1);
    else
        unsetenv("DEVLINK_PORT_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void PortDir::Link(unsigned portNumber, const std::string &target) const
{
    const std::string link = path_ + "/COM" + std::to_string(portNumber);
    if (symlink(target.c_str(), link.c_str()) != 0)
        Fail("symlink");
}

std::unique_ptr<SerialPort> OpenLikeThePortObject(unsigned portNumber, std::uint32_t baudRate,
                                                  std::uint16_t readTimeoutMs)
{
    OpenStatus status = OpenStatus::Failed;
    auto port = SerialPort::Open(portNumber, status);
    EXPECT_EQ(status, OpenStatus::Ok);
    if (!port)
        return nullptr;
    const bool ok = port->ReadSettings() && port->WriteSettings(baudRate) && port->ReadTimeouts() &&
                    port->WriteTimeouts(readTimeoutMs) && port->ClearBreak() && port->AbortTransfers() &&
                    port->ClearTransmitBuffer() && port->ClearReceiveBuffer();
    EXPECT_TRUE(ok) << "a step of the open sequence failed on a pseudo-terminal";
    return ok ? std::move(port) : nullptr;
}

std::vector<std::uint8_t> Bytes(const std::string &text)
{
    return {text.begin(), text.end()};
}

}  // namespace devlink::platform::testing
