#include "host_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

#include "baud_linux.h"
#include "vilosim.h"

namespace simtest {
namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

speed_t b_constant(int rate) {
    switch (rate) {
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 115200: return B115200;
        default: return B0;
    }
}

int ms_left(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

std::string answer(int address, std::string_view payload) {
    const std::string covered = std::to_string(address) + ";" + std::string(payload) + ";";
    return "!" + covered + std::to_string(vilosim::crc16(covered)) + "\r";
}

HostPort::HostPort(const std::filesystem::path& link, int rate) {
    fd_ = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) fail("open port");
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) fail("flock");
    ::ioctl(fd_, TIOCEXCL);
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) fail("tcgetattr");
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) fail("tcsetattr");
    set_rate(rate);
}

HostPort::~HostPort() {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

void HostPort::set_rate(int rate) {
    if (const speed_t b = b_constant(rate); b != B0) {
        termios t{};
        if (::tcgetattr(fd_, &t) != 0) fail("tcgetattr");
        ::cfsetspeed(&t, b);
        if (::tcsetattr(fd_, TCSANOW, &t) != 0) fail("tcsetattr");
    } else if (!vilosim::detail::set_line_rate(fd_, rate)) {
        fail("TCSETS2");
    }
}

void HostPort::send(std::string_view bytes) {
    sent_at_ = Clock::now();
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) fail("write");
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    ::tcdrain(fd_);
}

std::string HostPort::read_answer(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string got;
    while (got.empty() || got.back() != '\r') {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms_left(deadline)) <= 0 || !(p.revents & POLLIN)) break;
        char c;
        if (::read(fd_, &c, 1) != 1) break;
        last_at_ = Clock::now();
        if (got.empty()) first_at_ = last_at_;
        got.push_back(c);
    }
    return got;
}

std::string HostPort::read_for(std::chrono::milliseconds window) {
    const auto deadline = Clock::now() + window;
    std::string got;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, ms_left(deadline)) <= 0 || !(p.revents & POLLIN)) break;
        char buf[512];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

std::string HostPort::exchange(std::string_view request, std::chrono::milliseconds timeout) {
    send(request);
    return read_answer(timeout);
}

bool HostPort::wait_hangup(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, ms_left(deadline));
        if (r <= 0) return false;
        if (p.revents & (POLLHUP | POLLERR)) return true;
        char c;
        const ssize_t n = ::read(fd_, &c, 1);
        if (n == 0 || (n < 0 && errno == EIO)) return true;
    }
}

}  // namespace simtest
