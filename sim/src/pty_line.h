// One line: a pseudo-terminal published as a link, the transmitters on it,
// its request log and the service thread that answers.
#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device.h"
#include "vilosim.h"

namespace vilosim::detail {

class Line {
public:
    Line(const LineConfig& config, Clock::time_point epoch);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Opens the pseudo-terminal and publishes its link in dir; throws
    // std::system_error / std::filesystem::filesystem_error.
    void open(const std::filesystem::path& dir);
    // Starts the service thread; it ends when stop_fd turns readable.
    void start(int stop_fd);
    void join();
    // Closes the pseudo-terminal and removes the link (after join).
    void close();

    const std::string& name() const { return name_; }
    std::string tty() const;
    std::filesystem::path link() const;
    bool hung_up() const { return hung_.load(); }

    // Guarded by mutex.
    mutable std::mutex mutex;
    mutable std::condition_variable logged;
    std::vector<Device> devices;
    std::vector<LogEntry> log;

private:
    struct Job;
    enum class Step { Done, Wait, Blocked, Hung };

    void run(int stop_fd);
    std::optional<Job> serve(const Received& received);
    Step advance(Job& job, Clock::time_point now, Clock::time_point& wake);
    void append(LogEntry entry);
    void unpublish();  // removes the link

    std::string name_;
    std::string tty_;                       // guarded by mutex
    std::filesystem::path link_;            // guarded by mutex
    int master_ = -1;                       // used by the service thread while it runs
    int slave_ = -1;                        // kept open so host reopens never hang up
    std::atomic<bool> hung_{false};
    std::thread thread_;
};

}  // namespace vilosim::detail
