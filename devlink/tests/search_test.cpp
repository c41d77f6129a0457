// The port search and the device search, against simulated lines.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "sim_fixture.h"
#include "winmsg.h"

namespace {

using vilosim::Fault;
using vilosim::FaultKind;

// A window that keeps every message posted to it.
class Window {
public:
    Window() : window_(WinMsg_CreateWindow(&Window::Receive, this)) {}
    ~Window() { WinMsg_DestroyWindow(window_); }
    EX_WINDOW handle() const { return window_; }

    struct Message {
        std::uint32_t id;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        bool operator==(const Message &) const = default;
    };
    std::vector<Message> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    static void Receive(void *context, std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) {
        auto *self = static_cast<Window *>(context);
        std::lock_guard lock(self->mutex_);
        self->messages_.push_back({id, wParam, lParam});
    }

    WinMsgWindow *window_;
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
};

class SearchTest : public SimLine {
protected:
    std::pair<int, std::string> Search(EX_HANDLE handle, unsigned type, unsigned first, unsigned last,
                                       EX_WINDOW window = nullptr, bool notify = false) {
        OutText list(8192);
        const int rc = EX_SearchAvailableDevices(handle, notify, window, type, first, last, list.out());
        return {rc, list.text()};
    }

    static vilosim::Config TwoDevices() {
        vilosim::Config config;
        config.lines.push_back(
            {.name = "COM1", .devices = {{.address = 2}, {.address = 4, .identification = "34"}}});
        config.lines.push_back({.name = "COM3", .devices = {{.address = 1}}});
        return config;
    }
};

TEST_F(SearchTest, ListsEveryAnsweringAddress) {
    Start(TwoDevices());
    EX_HANDLE handle = OpenHandle();
    ASSERT_EQ(EX_SetTimeout(handle, 100), EX_OK);  // type 0 keeps it
    EXPECT_EQ(Search(handle, 0, 1, 5), std::make_pair(0, std::string("(2,18)(4,34)")));
    ASSERT_TRUE(sim().wait_for_log(0, 5, 1s));
    const auto log = sim().log(0);
    ASSERT_EQ(log.size(), 5u);
    for (unsigned a = 1; a <= 5; ++a)
        EXPECT_EQ(log[a - 1].request, vilosim::request(std::to_string(a) + ";0;", true)) << a;

    std::vector<std::string> addresses, payloads;
    devlink::StringList addressList(addresses), payloadList(payloads);
    ASSERT_EQ(EX_ExtractAvailableDevices("(2,18)(4,34)", addressList.get(), payloadList.get()), EX_OK);
    EXPECT_EQ(addresses, (std::vector<std::string>{"2", "4"}));
}

TEST_F(SearchTest, RangeTypeAndPortRules) {
    Start(TwoDevices());
    EX_HANDLE handle = OpenHandle();
    ASSERT_EQ(EX_SetTimeout(handle, 100), EX_OK);
    EXPECT_EQ(Search(handle, 0, 5, 4), std::make_pair(int{EX_ERR_BAD_ARGUMENT}, std::string()));
    EXPECT_EQ(Search(handle, 16, 1, 5), std::make_pair(int{EX_ERR_UNKNOWN_TYPE}, std::string()));
    EXPECT_EQ(sim().log(0).size(), 0u);  // no address tried
    EXPECT_EQ(Search(handle, 0, 4, 4), std::make_pair(0, std::string("(4,34)")));
    EXPECT_EQ(sim().log(0).size(), 1u);

    std::uint16_t timeout = 0;
    EXPECT_EQ(Search(handle, 20, 2, 2).first, EX_OK);
    EX_GetTimeout(handle, &timeout);
    EXPECT_EQ(timeout, 1200);
    EXPECT_EQ(Search(handle, 9, 2, 2).first, EX_OK);
    EX_GetTimeout(handle, &timeout);
    EXPECT_EQ(timeout, 150);

    // A device that answers "$0" to identification is not listed.
    sim().add_fault(0, 0, Fault{.kind = FaultKind::DeviceError, .command = 0, .error = 0});
    EXPECT_EQ(Search(handle, 9, 1, 3), std::make_pair(0, std::string()));

    EX_HANDLE closed = EX_CreateCOM();
    EXPECT_EQ(Search(closed, 0, 1, 3), std::make_pair(int{EX_ERR_WRITE}, std::string()));
    EXPECT_EQ(EX_FreeCOM(&closed), EX_OK);
}

TEST_F(SearchTest, PostsProgressPerAddress) {
    vilosim::Config config;
    config.lines.push_back({.name = "COM1", .devices = {{.address = 2}}});
    Start(std::move(config));
    EX_HANDLE handle = OpenHandle();
    ASSERT_EQ(EX_SetTimeout(handle, 100), EX_OK);
    Window window, bystander;
    EXPECT_EQ(Search(handle, 0, 1, 3, window.handle(), true).second, "(2,18)");
    const std::uint32_t id = WinMsg_Register("SX_SearchAvailableDevices");
    EXPECT_EQ(window.messages(), (std::vector<Window::Message>{{id, 1, 0xFFFF}, {id, 2, 2}, {id, 3, 0xFFFF}}));
    EXPECT_TRUE(bystander.messages().empty());
    Search(handle, 0, 1, 1, nullptr, true);  // broadcast
    EXPECT_EQ(bystander.messages(), (std::vector<Window::Message>{{id, 1, 0xFFFF}}));
    Search(handle, 0, 1, 1, window.handle(), false);
    EXPECT_EQ(window.messages().size(), 4u);
}

TEST_F(SearchTest, StopFromAnotherThreadEndsBeforeTheNextAddress) {
    vilosim::Config config;
    config.lines.push_back({.name = "COM1", .devices = {{.address = 1}}});
    Start(std::move(config));
    EX_HANDLE handle = OpenHandle();
    ASSERT_EQ(EX_SetTimeout(handle, 100), EX_OK);
    // A stop before the search has no effect on it.
    EXPECT_EQ(EX_StopSearchAvailableDevices(handle), EX_OK);

    std::thread stopper([&] {
        sim().wait_for_log(0, 3, 5s);
        EX_StopSearchAvailableDevices(handle);
    });
    const auto [rc, list] = Search(handle, 0, 1, 255);
    stopper.join();
    EXPECT_EQ(rc, EX_OK);
    EXPECT_EQ(list, "(1,18)");
    const std::size_t tried = sim().log(0).size();
    EXPECT_GE(tried, 3u);
    EXPECT_LE(tried, 4u);  // the exchange in progress ends, no further address
}

TEST_F(SearchTest, PortSearchListsPortsThatExistInUseOrNot) {
    Start(TwoDevices());
    EX_HANDLE handle = OpenHandle("COM3");
    Window window;
    OutText ports;
    ASSERT_EQ(EX_SearchAvailableCOMPorts(handle, 1, nullptr, ports.out()), EX_OK);
    EXPECT_EQ(ports.text(), "COM1;COM3;");
    const std::uint32_t id = WinMsg_Register("SX_SearchAvailableCOMPorts");
    EXPECT_EQ(window.messages(),
              (std::vector<Window::Message>{{id, 64, 64}, {id, 128, 128}, {id, 192, 192}, {id, 256, 256}}));
    // The handle's own port stayed open and usable.
    EXPECT_EQ(Exchange(handle, 1, 1, 0).rc, EX_OK);

    std::vector<std::string> lines;
    devlink::StringList list(lines);
    ASSERT_EQ(EX_ExtractAvailableCOMPorts(ports.text().c_str(), list.get()), EX_OK);
    EXPECT_EQ(lines, (std::vector<std::string>{"COM1", "COM3"}));
}

}  // namespace
