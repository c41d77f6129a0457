// The serial port on Linux, over termios.
//
// Exclusive open: flock(LOCK_EX | LOCK_NB) refuses a second opener in any process, also for
// root, which TIOCEXCL does not stop; TIOCEXCL is set as well for programs that do not lock,
// and cleared again before closing, since the flag belongs to the tty and outlives the
// descriptor. An opener that was refused leaves the flag alone.
//
// Reads wait with poll() and take one byte per call, so an answer ends exactly at its CR and
// the timeout is kept to the millisecond (VTIME counts in 100 ms steps). A line whose far side
// has gone (hang-up) fails at once instead of looking like silence.
#include "platform/serial.h"
#include "serial_posix_detail.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace devlink::platform {
namespace {

using Clock = std::chrono::steady_clock;

OpenStatus StatusOfOpenError(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:  // a /dev/ttyS node without a UART behind it
        return OpenStatus::NotFound;
    case EBUSY:  // TIOCEXCL of another opener
    case EWOULDBLOCK:  // the lock of another opener
        return OpenStatus::AccessDenied;
    default:  // EACCES (not in the dialout group) and the rest
        return OpenStatus::Failed;
    }
}

// The B-constant of a rate the tty interface names, or B0 when it has none.
speed_t StandardSpeed(std::uint32_t baudRate)
{
    struct Entry {
        std::uint32_t rate;
        speed_t speed;
    };
    static constexpr Entry kSpeeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},
        {1800, B1800},       {2400, B2400},       {4800, B4800},       {9600, B9600},
        {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
        {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
        {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
        {4000000, B4000000},
    };
    for (const Entry &entry : kSpeeds) {
        if (entry.rate == baudRate)
            return entry.speed;
    }
    return B0;
}

// A raw 8N1 line: every byte passes both ways unchanged, no flow control, no echo, no
// signals, modem status ignored; reads return whatever is there (the wait is poll's).
void MakeRaw(termios &settings)
{
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                          IUCLC | IXON | IXOFF | IXANY | IMAXBEL | IUTF8);
    settings.c_oflag &= ~(OPOST | OLCUC | ONLCR | OCRNL | ONOCR | ONLRET | OFILL);
    settings.c_lflag &= ~(ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT |
                          ECHOKE | NOFLSH | TOSTOP | IEXTEN);
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

// A modem-line call; a line without modem controls (a pseudo-terminal) is not an error.
bool SetModemLine(int fd, unsigned long request, int line)
{
    if (ioctl(fd, request, &line) == 0)
        return true;
    return errno == ENOTTY || errno == EINVAL;
}

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort(int fd, bool exclusive) : fd_(fd), exclusive_(exclusive) {}
    ~PosixSerialPort() override { Close(); }

    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    bool ReadSettings() override
    {
        if (fd_ < 0 || tcgetattr(fd_, &settings_) != 0)
            return false;
        haveSettings_ = true;
        return true;
    }

    bool WriteSettings(std::uint32_t baudRate) override
    {
        if (fd_ < 0 || baudRate == 0)
            return false;
        if (!haveSettings_ && !ReadSettings())
            return false;
        termios settings = settings_;
        MakeRaw(settings);
        // The input rate follows the output rate; an odd rate set before left its own input
        // rate field, which would otherwise win.
        settings.c_cflag &= ~CIBAUD;
        const speed_t speed = StandardSpeed(baudRate);
        if (speed != B0 && (cfsetospeed(&settings, speed) != 0 || cfsetispeed(&settings, speed) != 0))
            return false;
        if (tcsetattr(fd_, TCSANOW, &settings) != 0)
            return false;
        if (speed == B0 && !posix::SetLineRate(fd_, baudRate))
            return false;
        settings_ = settings;
        return SetModemLine(fd_, TIOCMBIS, TIOCM_RTS) && SetModemLine(fd_, TIOCMBIC, TIOCM_DTR);
    }

    bool ReadTimeouts() override { return fd_ >= 0; }

    bool WriteTimeouts(std::uint16_t readTimeoutMs) override
    {
        if (fd_ < 0)
            return false;
        readTimeoutMs_ = readTimeoutMs;
        return true;
    }

    bool ClearBreak() override { return fd_ >= 0 && ioctl(fd_, TIOCCBRK) == 0; }

    // Every transfer is synchronous, so nothing is pending but the bytes in the buffers.
    bool AbortTransfers() override { return Flush(TCIOFLUSH); }
    bool ClearTransmitBuffer() override { return Flush(TCOFLUSH); }
    bool ClearReceiveBuffer() override { return Flush(TCIFLUSH); }

    WriteResult Write(const std::uint8_t *data, std::size_t size) override
    {
        WriteResult result;
        if (fd_ < 0)
            return result;
        while (result.written < size) {
            const ssize_t n = write(fd_, data + result.written, size - result.written);
            if (n > 0) {
                result.written += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd ready{fd_, POLLOUT, 0};
                if (poll(&ready, 1, -1) < 0 && errno != EINTR)
                    return result;
                if ((ready.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                    return result;
            } else {
                return result;  // an error (EIO after a hang-up), or a write of nothing
            }
        }
        // The read timeout of the answer starts once the request has left, not while it is
        // still on its way out (at 300 baud a request takes longer than some timeouts).
        while (tcdrain(fd_) != 0) {
            if (errno != EINTR)
                return result;
        }
        result.ok = true;
        return result;
    }

    ReadStatus ReadByte(std::uint8_t &byte) override
    {
        if (fd_ < 0)
            return ReadStatus::Failed;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd ready{fd_, POLLIN, 0};
            const int polled = poll(&ready, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
            if (polled < 0) {
                if (errno == EINTR)
                    continue;
                return ReadStatus::Failed;
            }
            if (polled == 0)
                return ReadStatus::Timeout;
            if ((ready.revents & POLLIN) != 0) {
                const ssize_t n = read(fd_, &byte, 1);
                if (n == 1)
                    return ReadStatus::Byte;
                if (n < 0 && (errno == EINTR || errno == EAGAIN))
                    continue;
                return ReadStatus::Failed;  // 0 bytes or EIO: the far side has gone
            }
            return ReadStatus::Failed;  // POLLHUP, POLLERR, POLLNVAL
        }
    }

    bool Close() override
    {
        if (fd_ < 0)
            return false;
        const int fd = fd_;
        fd_ = -1;
        if (exclusive_)
            ioctl(fd, TIOCNXCL);
        flock(fd, LOCK_UN);
        // Linux releases the descriptor even when close() reports EINTR; never close twice.
        return close(fd) == 0 || errno == EINTR;
    }

private:
    bool Flush(int queue) { return fd_ >= 0 && tcflush(fd_, queue) == 0; }

    int fd_;
    bool exclusive_;  // TIOCEXCL was set by this opener
    bool haveSettings_ = false;
    termios settings_{};
    std::uint16_t readTimeoutMs_ = 1000;
};

}  // namespace

namespace posix {

std::string PortDevicePath(unsigned portNumber)
{
    const std::string name = "COM" + std::to_string(portNumber);
    const char *dir = std::getenv("DEVLINK_PORT_DIR");
    if (dir != nullptr && *dir != '\0')
        return std::string(dir) + "/" + name;
    std::string path = "/dev/" + name;
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0)
        return path;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

}  // namespace posix

std::unique_ptr<SerialPort> SerialPort::Open(unsigned portNumber, OpenStatus &status)
{
    const std::string path = posix::PortDevicePath(portNumber);
    // O_NONBLOCK only for the open itself, so that a real port does not wait for carrier.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        status = StatusOfOpenError(errno);
        return nullptr;
    }
    auto refuse = [fd, &status](OpenStatus why) {
        close(fd);
        status = why;
        return nullptr;
    };
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return refuse(OpenStatus::Failed);
    // The lock first: an opener refused here has not touched the holder's TIOCEXCL.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(StatusOfOpenError(errno));
    bool exclusive = true;
    if (ioctl(fd, TIOCEXCL) != 0) {
        // A file that is not a tty still opens; reading its settings is what fails.
        if (errno != ENOTTY)
            return refuse(OpenStatus::Failed);
        exclusive = false;
    }
    try {
        status = OpenStatus::Ok;
        return std::make_unique<PosixSerialPort>(fd, exclusive);
    } catch (...) {
        if (exclusive)
            ioctl(fd, TIOCNXCL);
        return refuse(OpenStatus::Failed);
    }
}

}  // namespace devlink::platform
