#include "comm/th_search.h"

#include <algorithm>

namespace vilo {

Runners::~Runners() { JoinAll(); }

void Runners::Start(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    ReapFinished();
    const auto cycle = cycles_.emplace(cycles_.end());
    try {
        // The new thread touches its entry only under the lock, which is held until the entry
        // holds the thread.
        cycle->thread = std::thread([this, cycle, job = std::move(job)]() mutable {
            try {
                job();
            } catch (...) {
                // The job has ended; its runner ends with it.
            }
            job = nullptr;  // what the job holds goes before the runner counts as finished
            std::lock_guard done(mutex_);
            cycle->finished = true;
            finished_.notify_all();
        });
    } catch (...) {
        cycles_.erase(cycle);
        throw;
    }
}

void Runners::JoinAll() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] {
        ReapFinished();
        return cycles_.empty();
    });
}

std::size_t Runners::Running() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(cycles_.begin(), cycles_.end(), [](const TThreadCycle &cycle) { return !cycle.finished; }));
}

void Runners::ReapFinished() {
    for (auto it = cycles_.begin(); it != cycles_.end();) {
        if (it->finished) {
            // The thread has nothing left to do but return: it no longer needs the lock.
            it->thread.join();
            it = cycles_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace vilo
