// The message registry and windows, as the searches and their callers use them.
#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "winmsg.h"

namespace {

using namespace std::chrono_literals;

struct Received {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::thread::id thread;
    bool operator==(const Received &) const = default;
};

struct Recorder {
    std::vector<Received> got;
    static void Receive(void *context, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
    {
        static_cast<Recorder *>(context)->got.push_back({message, wParam, lParam, std::this_thread::get_id()});
    }
};

TEST(WinMsgRegister, OneIdPerNameWithoutRegardToAsciiCase)
{
    const std::uint32_t ports = WinMsg_Register("SX_SearchAvailableCOMPorts");
    const std::uint32_t devices = WinMsg_Register("SX_SearchAvailableDevices");
    EXPECT_GE(ports, 0xC000u);
    EXPECT_LE(ports, 0xFFFFu);
    EXPECT_NE(ports, devices);
    EXPECT_EQ(WinMsg_Register("sx_searchavailablecomports"), ports);
    EXPECT_EQ(WinMsg_Register("SX_SEARCHAVAILABLEDEVICES"), devices);
    // The library's own wrapper sees the same registry.
    EXPECT_EQ(devlink::platform::RegisterMessage("SX_SearchAvailableDevices"), devices);

    // Ids go out in order of first registration; only ASCII letters fold (Windows-1251 А, а).
    const std::uint32_t first = WinMsg_Register("winmsg test \xC0");
    EXPECT_EQ(WinMsg_Register("winmsg test \xE0"), first + 1);
    EXPECT_EQ(WinMsg_Register("WINMSG TEST \xC0"), first);

    EXPECT_EQ(WinMsg_Register(nullptr), 0u);
    EXPECT_EQ(WinMsg_Register(""), 0u);
}

TEST(WinMsgRegisterDeathTest, RunsOutAfter16384Names)
{
    // In a child process, so that the full registry does not reach other tests.
    EXPECT_EXIT(
        {
            const std::uint32_t kept = WinMsg_Register("kept");
            std::uint32_t last = kept;
            for (unsigned i = 0; i < 0x5000; ++i) {
                const std::uint32_t id = WinMsg_Register(("name " + std::to_string(i)).c_str());
                if (id == 0)
                    break;
                last = id;
            }
            const bool ok = last == 0xFFFF && WinMsg_Register("one more") == 0 && WinMsg_Register("KEPT") == kept;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

class WinMsgPost : public ::testing::Test {
protected:
    void TearDown() override
    {
        WinMsg_DestroyWindow(a);
        WinMsg_DestroyWindow(b);
    }
    Recorder ra, rb;
    WinMsgWindow *a = WinMsg_CreateWindow(Recorder::Receive, &ra);
    WinMsgWindow *b = WinMsg_CreateWindow(Recorder::Receive, &rb);
    const std::thread::id self = std::this_thread::get_id();
};

TEST_F(WinMsgPost, ReachesOneWindowOrEveryWindowOnThePostingThread)
{
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(WinMsg_Post(a, 0xC001, 64, 64), 1);
    EXPECT_EQ(ra.got, (std::vector<Received>{{0xC001, 64, 64, self}}));
    EXPECT_TRUE(rb.got.empty());

    EXPECT_EQ(WinMsg_Post(nullptr, 0xC002, 3, 0xFFFF), 1);
    EXPECT_EQ(ra.got.back(), (Received{0xC002, 3, 0xFFFF, self}));
    EXPECT_EQ(rb.got, (std::vector<Received>{{0xC002, 3, 0xFFFF, self}}));

    // Through the library's wrapper, with a value that needs the full width.
    devlink::platform::PostMessageTo(b, 0xC003, UINTPTR_MAX, -1);
    EXPECT_EQ(rb.got.back(), (Received{0xC003, UINTPTR_MAX, -1, self}));
    EXPECT_EQ(ra.got.size(), 2u);
}

TEST_F(WinMsgPost, ADestroyedWindowGetsNothing)
{
    WinMsg_DestroyWindow(a);
    EXPECT_EQ(WinMsg_Post(a, 0xC001, 1, 1), 0);
    EXPECT_EQ(WinMsg_Post(nullptr, 0xC001, 2, 2), 1);
    EXPECT_TRUE(ra.got.empty());
    EXPECT_EQ(rb.got.size(), 1u);
    a = nullptr;

    WinMsg_DestroyWindow(b);
    b = nullptr;
    EXPECT_EQ(WinMsg_Post(nullptr, 0xC001, 3, 3), 0) << "no window is left to reach";
    EXPECT_EQ(WinMsg_CreateWindow(nullptr, &ra), nullptr);
    WinMsg_DestroyWindow(nullptr);
}

// A receiver may post, register and destroy its own window while it runs.
struct Relay {
    WinMsgWindow *self = nullptr;
    WinMsgWindow *next = nullptr;
    static void Receive(void *context, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
    {
        auto *relay = static_cast<Relay *>(context);
        WinMsg_Register("registered from a receiver");
        WinMsg_Post(relay->next, message + 1, wParam, lParam);
        WinMsg_DestroyWindow(relay->self);
    }
};

TEST_F(WinMsgPost, AReceiverMayPostAndDestroyItsOwnWindow)
{
    Relay relay{nullptr, b};
    relay.self = WinMsg_CreateWindow(Relay::Receive, &relay);
    EXPECT_EQ(WinMsg_Post(relay.self, 0xC010, 7, 8), 1);
    EXPECT_EQ(rb.got, (std::vector<Received>{{0xC011, 7, 8, self}}));
    EXPECT_EQ(WinMsg_Post(relay.self, 0xC010, 7, 8), 0);
}

TEST(PauseMs, PausesAtLeastThatLong)
{
    const auto start = std::chrono::steady_clock::now();
    devlink::platform::PauseMs(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

}  // namespace
