// The host's side of a simulated line, for the tests: opens a port link the
// way a configuration program does (exclusive, raw 8N1, a given rate) and
// sends and receives bytes with timeouts.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace simtest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class HostPort {
public:
    HostPort(const std::filesystem::path& link, int rate);
    ~HostPort();
    HostPort(const HostPort&) = delete;
    HostPort& operator=(const HostPort&) = delete;

    void set_rate(int rate);  // B-constants where there is one, else termios2
    void send(std::string_view bytes);
    // Bytes through the first CR; what came so far when the timeout passes first.
    std::string read_answer(std::chrono::milliseconds timeout = 1000ms);
    // Everything that arrives within the window.
    std::string read_for(std::chrono::milliseconds window);
    std::string exchange(std::string_view request, std::chrono::milliseconds timeout = 1000ms);
    // True once the line is gone: poll reports POLLHUP or a read gives 0 / EIO.
    bool wait_hangup(std::chrono::milliseconds timeout = 1000ms);

    Clock::time_point last_send() const { return sent_at_; }
    Clock::time_point first_byte() const { return first_at_; }  // of the last read
    Clock::time_point last_byte() const { return last_at_; }

private:
    int fd_ = -1;
    Clock::time_point sent_at_{}, first_at_{}, last_at_{};
};

// "!" addr ";" payload ";" checksum CR, the way a transmitter answers.
std::string answer(int address, std::string_view payload);

}  // namespace simtest
