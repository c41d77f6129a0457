// Windows destroyed while other threads post to them.
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "winmsg.h"

namespace {

using namespace std::chrono_literals;

constexpr int kAlive = 0x5A5A;

// Plain fields on purpose: a receiver still running after DestroyWindow returned races with
// the writes that follow it (ThreadSanitizer) and reads freed memory (AddressSanitizer).
struct Target {
    int state = kAlive;
    std::atomic<unsigned> calls{0};
    static void Receive(void *context, std::uint32_t, std::uintptr_t, std::intptr_t)
    {
        auto *target = static_cast<Target *>(context);
        EXPECT_EQ(target->state, kAlive) << "a receiver ran after its window was destroyed";
        target->calls.fetch_add(1);
        for (int i = 0; i < 50; ++i)
            std::this_thread::yield();  // stay inside a while longer
    }
};

TEST(WinMsgThreads, DestroyWaitsForPostsRunningOnOtherThreads)
{
    std::atomic<bool> stop{false};
    std::atomic<WinMsgWindow *> current{nullptr};
    std::vector<std::thread> posters;
    for (int i = 0; i < 4; ++i) {
        posters.emplace_back([&, i] {
            while (!stop.load()) {
                if (i % 2 == 0)
                    WinMsg_Post(nullptr, 0xC000, 1, 2);
                else
                    WinMsg_Post(current.load(), 0xC000, 3, 4);  // possibly destroyed meanwhile
                std::this_thread::yield();
            }
        });
    }
    for (int round = 0; round < 300; ++round) {
        auto *target = new Target;
        WinMsgWindow *window = WinMsg_CreateWindow(Target::Receive, target);
        ASSERT_NE(window, nullptr);
        current.store(window);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (target->calls.load() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        WinMsg_DestroyWindow(window);
        target->state = 0;
        delete target;
    }
    stop.store(true);
    for (auto &poster : posters)
        poster.join();
}

// A receiver held inside by the test: DestroyWindow on another thread must not return before
// the receiver has.
struct Held {
    std::atomic<bool> entered{false};
    std::atomic<bool> destroying{false};
    std::atomic<bool> destroyed{false};
    std::atomic<bool> destroyedWhileInside{false};
    static void Receive(void *context, std::uint32_t, std::uintptr_t, std::intptr_t)
    {
        auto *held = static_cast<Held *>(context);
        held->entered.store(true);
        while (!held->destroying.load())
            std::this_thread::yield();
        std::this_thread::sleep_for(50ms);  // gives a DestroyWindow that does not wait time to return
        held->destroyedWhileInside.store(held->destroyed.load());
    }
};

TEST(WinMsgThreads, DestroyReturnsOnlyAfterTheReceiverDid)
{
    Held held;
    WinMsgWindow *window = WinMsg_CreateWindow(Held::Receive, &held);
    std::thread poster([&] { EXPECT_EQ(WinMsg_Post(window, 0xC000, 0, 0), 1); });
    while (!held.entered.load())
        std::this_thread::yield();
    std::thread destroyer([&] {
        held.destroying.store(true);
        WinMsg_DestroyWindow(window);
        held.destroyed.store(true);
    });
    poster.join();
    destroyer.join();
    EXPECT_FALSE(held.destroyedWhileInside.load());
}

}  // namespace
