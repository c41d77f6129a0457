// The background runners: started at once on their own threads, never waited for by the
// caller, all waited for at shutdown.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "comm/th_search.h"

namespace {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()> &ready, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

// Jobs block here until the test opens it.
struct Gate {
    std::atomic<bool> open{false};
    void Pass() { open.wait(false); }
    void Open() {
        open = true;
        open.notify_all();
    }
};

TEST(Runners, RunsTheJobOnItsOwnThreadWithoutMakingTheCallerWait) {
    Gate gate;
    std::atomic<bool> started{false};
    std::thread::id jobThread;
    vilo::Runners runners;

    runners.Start([&] {
        jobThread = std::this_thread::get_id();
        started = true;
        gate.Pass();
    });
    // Start has returned while the job is still held at the gate.
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
    EXPECT_EQ(runners.Running(), 1u);
    gate.Open();
    runners.JoinAll();
    EXPECT_EQ(runners.Running(), 0u);
    EXPECT_NE(jobThread, std::this_thread::get_id());
}

TEST(Runners, ShutdownWaitsForEveryRunnerStillRunning) {
    Gate gate;
    std::atomic<int> done{0};
    std::thread opener;
    {
        vilo::Runners runners;
        for (int i = 0; i < 3; ++i) {
            runners.Start([&] {
                gate.Pass();
                ++done;
            });
        }
        // One job starts another while the shutdown may already wait.
        runners.Start([&] {
            gate.Pass();
            runners.Start([&] { ++done; });
            ++done;
        });
        ASSERT_EQ(runners.Running(), 4u);
        opener = std::thread([&] { gate.Open(); });
    }  // the destructor waits
    EXPECT_EQ(done.load(), 5);
    opener.join();
}

TEST(Runners, JoinAllWithNothingRunningReturnsAndTheOwnerStaysUsable) {
    vilo::Runners runners;
    runners.JoinAll();
    std::atomic<int> runs{0};
    for (int round = 0; round < 2; ++round) {
        runners.Start([&] { ++runs; });
        runners.JoinAll();
        EXPECT_EQ(runs.load(), round + 1);
    }
}

TEST(Runners, AFinishedJobNoLongerCounts) {
    vilo::Runners runners;
    std::atomic<int> runs{0};
    for (int i = 0; i < 20; ++i) runners.Start([&] { ++runs; });
    EXPECT_TRUE(WaitUntil([&] { return runners.Running() == 0; }));
    EXPECT_EQ(runs.load(), 20);
}

TEST(Runners, AnExceptionEndsOnlyItsJob) {
    vilo::Runners runners;
    std::atomic<bool> ran{false};
    runners.Start([] { throw std::runtime_error("lost port"); });
    runners.Start([&] { ran = true; });
    runners.JoinAll();
    EXPECT_TRUE(ran.load());
    EXPECT_EQ(runners.Running(), 0u);
}

}  // namespace
