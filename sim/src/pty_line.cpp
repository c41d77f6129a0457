#include "pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <system_error>

#include "baud_linux.h"

namespace vilosim::detail {
namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void set_cloexec(int fd) { ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC); }

}  // namespace

struct Line::Job {
    LogEntry entry;
    std::vector<std::pair<std::size_t, Answer>> answers;  // device index, answer
    std::size_t current = 0;
    std::size_t sent = 0;           // bytes of the current answer written
    bool started = false;           // start below is set for the current answer
    bool settled = false;           // the current answer's effects are applied
    bool writing = false;           // some answer byte was written
    Clock::time_point start;
    Clock::time_point previous_end;
    Clock::time_point last_write;   // of the latest answer bytes
    Clock::time_point hang_wait;    // give up waiting for the host to read
    bool hang_seen = false;         // the bytes before a hang-up reached the tty
};

Line::Line(const LineConfig& config, Clock::time_point epoch) : name_(config.name) {
    devices.reserve(config.devices.size());
    for (const auto& d : config.devices) devices.emplace_back(d, epoch);
}

Line::~Line() {
    join();
    close();
}

std::string Line::tty() const {
    std::lock_guard lock(mutex);
    return tty_;
}

std::filesystem::path Line::link() const {
    std::lock_guard lock(mutex);
    return link_;
}

void Line::open(const std::filesystem::path& dir) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) fail("posix_openpt");
    set_cloexec(master_);
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) fail("unlockpt");
    char path[128];
    if (::ptsname_r(master_, path, sizeof path) != 0) fail("ptsname");
    slave_ = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) fail("open pseudo-terminal");
    termios t{};
    if (::tcgetattr(slave_, &t) != 0) fail("tcgetattr");
    ::cfmakeraw(&t);
    if (::tcsetattr(slave_, TCSANOW, &t) != 0) fail("tcsetattr");
    if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) fail("fcntl");

    // Publish atomically: a reader sees either no link or the finished one.
    const auto target = dir / name_;
    const auto temp = dir / ("." + name_ + ".new" + std::to_string(::getpid()));
    std::filesystem::remove(temp);
    std::filesystem::create_symlink(path, temp);
    std::filesystem::rename(temp, target);
    std::lock_guard lock(mutex);
    tty_ = path;
    link_ = target;
}

void Line::start(int stop_fd) {
    thread_ = std::thread([this, stop_fd] { run(stop_fd); });
}

void Line::join() {
    if (thread_.joinable()) thread_.join();
}

void Line::unpublish() {
    std::filesystem::path link;
    {
        std::lock_guard lock(mutex);
        link = std::move(link_);
        link_.clear();
    }
    if (!link.empty()) {
        std::error_code ec;
        std::filesystem::remove(link, ec);
    }
}

void Line::close() {
    unpublish();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

void Line::append(LogEntry entry) {
    {
        std::lock_guard lock(mutex);
        log.push_back(std::move(entry));
    }
    logged.notify_all();
}

std::optional<Line::Job> Line::serve(const Received& rx) {
    Job job;
    job.entry.request = rx.bytes;
    job.entry.first_byte = rx.first_byte;
    job.entry.complete = rx.complete;
    job.entry.host_baud = std::max(0, line_rate(master_));
    if (const auto request = proto::parse_request(rx.bytes)) {
        std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < devices.size(); ++i) {
            Device& d = devices[i];
            if (d.address() != request->address || d.baud() != job.entry.host_baud) continue;
            if (auto a = d.respond(*request, rx)) {
                job.entry.answer += a->bytes.substr(0, a->hang_at.value_or(a->bytes.size()));
                const bool hangs = a->hang_at.has_value();
                job.answers.emplace_back(i, std::move(*a));
                if (hangs) break;  // nothing follows a hang-up
            }
        }
    }
    if (job.answers.empty()) {
        append(std::move(job.entry));
        return std::nullopt;
    }
    job.previous_end = Clock::now();
    return job;
}

Line::Step Line::advance(Job& job, Clock::time_point now, Clock::time_point& wake) {
    while (job.current < job.answers.size()) {
        const std::size_t device = job.answers[job.current].first;
        Answer& a = job.answers[job.current].second;
        if (!job.started) {
            job.start = std::max(job.previous_end, a.ready) + a.lead;
            job.started = true;
        }
        const auto due = [&](std::size_t j) {
            return job.start + a.first_offset + static_cast<long>(j) * a.interval;
        };
        const std::size_t limit = a.hang_at.value_or(a.bytes.size());
        if (a.hang_at && job.sent == limit) {
            if (now < due(job.sent)) {
                wake = due(job.sent);
                return Step::Wait;
            }
            // A hang-up discards what the host has not read yet, so let it take
            // the bytes written so far first (for a while at most). They reach
            // the tty's input queue a little after the write: wait until they
            // show there (or briefly, should the host have read them at once),
            // then until the queue is empty.
            if (job.writing) {
                if (job.hang_wait == Clock::time_point{}) job.hang_wait = now + std::chrono::seconds(2);
                int unread = 0;
                const bool known = ::ioctl(slave_, FIONREAD, &unread) == 0;
                job.hang_seen = job.hang_seen || (known && unread > 0);
                const bool waiting = job.hang_seen ? known && unread > 0
                                                   : now < job.last_write + std::chrono::milliseconds(50);
                if (waiting && now < job.hang_wait) {
                    wake = now + std::chrono::milliseconds(1);
                    return Step::Wait;
                }
            }
            if (job.writing) job.entry.answer_end = job.last_write;
            {
                std::lock_guard lock(mutex);
                devices[device].settle(a);
            }
            hung_ = true;
            append(std::move(job.entry));
            unpublish();  // the tty node goes with the master; its number may be reused
            ::close(master_);
            master_ = -1;
            return Step::Hung;
        }
        std::size_t end = job.sent;
        while (end < limit && due(end) <= now) ++end;
        if (end == job.sent) {
            wake = due(job.sent);
            return Step::Wait;
        }
        if (!job.writing) {
            job.writing = true;
            job.entry.answer_start = now;
        }
        if (end == a.bytes.size() && !a.hang_at && !job.settled) {
            // Everything about the request is visible before its last byte is.
            job.settled = true;
            {
                std::lock_guard lock(mutex);
                devices[device].settle(a);
            }
            if (job.current + 1 == job.answers.size()) {
                job.entry.answer_end = now;
                append(job.entry);
            }
        }
        const ssize_t w = ::write(master_, a.bytes.data() + job.sent, end - job.sent);
        job.last_write = now;
        if (w < 0) {
            if (errno == EAGAIN || errno == EINTR) return Step::Blocked;
            return Step::Done;  // the line refuses bytes; drop the rest
        }
        job.sent += static_cast<std::size_t>(w);
        if (job.sent < end) return Step::Blocked;
        if (job.sent == a.bytes.size() && !a.hang_at) {
            ++job.current;
            job.sent = 0;
            job.started = job.settled = false;
            job.previous_end = Clock::now();
        }
    }
    return Step::Done;
}

void Line::run(int stop_fd) {
    std::string rx;
    Clock::time_point rx_first{};
    std::deque<Received> pending;
    std::optional<Job> job;
    for (;;) {
        auto wake = Clock::now() + std::chrono::milliseconds(500);
        bool blocked = false;
        for (;;) {
            if (!job) {
                if (pending.empty()) break;
                job = serve(pending.front());
                pending.pop_front();
                if (!job) continue;
            }
            const Step step = advance(*job, Clock::now(), wake);
            if (step == Step::Hung) return;
            if (step == Step::Done) {
                job.reset();
                continue;
            }
            blocked = step == Step::Blocked;
            break;
        }

        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {stop_fd, POLLIN, 0}};
        const auto left = std::max(wake - Clock::now(), Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        if (::ppoll(fds, 2, &ts, nullptr) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents & POLLIN) {
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            const auto t = Clock::now();
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                hung_ = true;
                return;
            }
            for (ssize_t i = 0; i < n; ++i) {
                if (rx.empty()) rx_first = t;
                rx.push_back(buf[i]);
                if (buf[i] == '\r' || rx.size() >= 4096) {
                    pending.push_back({std::move(rx), rx_first, t});
                    rx.clear();
                }
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            hung_ = true;  // cannot happen while the slave side stays open
            return;
        }
    }
}

}  // namespace vilosim::detail
