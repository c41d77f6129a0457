// The background runner TThreadCycle: one job (the device search, the address and speed
// change, the settings read) run once on a thread of its own, started at once, with no
// result and no cancellation of its own.
//
// A runner's thread ends when its job returns and is reclaimed by its owner: the program
// holds one Runners object, which starts the runners, never makes the caller wait for them,
// and on shutdown waits for every runner still running, so that no job outlives the objects
// it works on. Jobs that should end early for the shutdown watch their own flags (such as the
// search's stop flag); the owner sets those before it waits.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace vilo {

class Runners {
public:
    Runners() = default;
    ~Runners();  // JoinAll
    Runners(const Runners &) = delete;
    Runners &operator=(const Runners &) = delete;

    // Starts a new TThreadCycle running the job once and returns at once. A job may start
    // further jobs. An exception that escapes a job ends that job and nothing else, as the
    // platform's thread class did. Throws std::system_error when no thread can be made.
    void Start(std::function<void()> job);

    // Waits until every runner, also one started meanwhile by a running job, has ended.
    // Not to be called from a job.
    void JoinAll();

    // The runners whose jobs have not returned yet.
    std::size_t Running() const;

private:
    struct TThreadCycle {
        std::thread thread;
        bool finished = false;
    };

    // Joins and drops the runners whose jobs have returned. Needs the lock.
    void ReapFinished();

    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::list<TThreadCycle> cycles_;
};

}  // namespace vilo
