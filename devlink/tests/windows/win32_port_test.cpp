// The port object and the searches through the Win32 serial layer, against simulated
// transmitters on real lines.
//
// The lines come from outside: DEVLINK_TEST_PORTS names two ports, the first with
// transmitters at address 1 (9600 baud), address 2 (19200 baud) and address 4 (identification
// "34"), the second with one at address 1; DEVLINK_TEST_MISSING names a port that does not
// exist. scripts/lib/windows_tests.sh starts vilo-sim that way, with the second line above COM9,
// which Windows opens only by its device path.
//
// Under Wine a pseudo-terminal stands in for the port, which behaves differently from a
// serial driver in a few known ways; the tests that meet them are skipped there only.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devlink.h"
#include "out_text.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string Env(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

template <typename F>
std::chrono::milliseconds TimeOf(F &&f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// A hidden top-level window on a thread of its own that keeps the progress messages posted to
// it (top-level, so that broadcasts reach it too). OnMessage runs on the window's thread.
class ProgressWindow {
public:
    struct Message {
        UINT id;
        WPARAM wParam;
        LPARAM lParam;
        bool operator==(const Message &) const = default;
    };

    explicit ProgressWindow(std::function<void(const Message &)> onMessage = {})
        : onMessage_(std::move(onMessage)), thread_([this] { Run(); })
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return started_; });
    }
    ~ProgressWindow()
    {
        if (window_ != nullptr)
            PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    HWND handle() const { return window_; }

    std::vector<Message> messages() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }

    // Waits until count messages have arrived; false after the time limit.
    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return messages_.size() >= count; });
    }

private:
    static constexpr const char *kClass = "devlink_test_progress";

    void Run()
    {
        ports_ = RegisterWindowMessageA("SX_SearchAvailableCOMPorts");
        devices_ = RegisterWindowMessageA("SX_SearchAvailableDevices");
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &ProgressWindow::Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassA(&windowClass);  // fails harmlessly when a former window registered it
        HWND window = CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      windowClass.hInstance, this);
        {
            std::lock_guard lock(mutex_);
            window_ = window;
            started_ = true;
        }
        changed_.notify_all();
        if (window == nullptr)
            return;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT id, WPARAM wParam, LPARAM lParam)
    {
        if (id == WM_NCCREATE) {
            auto *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto *self = reinterpret_cast<ProgressWindow *>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && (id == self->ports_ || id == self->devices_)) {
            const Message message{id, wParam, lParam};
            if (self->onMessage_)
                self->onMessage_(message);
            {
                std::lock_guard lock(self->mutex_);
                self->messages_.push_back(message);
            }
            self->changed_.notify_all();
            return 0;
        }
        if (id == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcA(window, id, wParam, lParam);
    }

    std::function<void(const Message &)> onMessage_;
    UINT ports_ = 0;
    UINT devices_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    HWND window_ = nullptr;
    std::vector<Message> messages_;
    std::thread thread_;
};

class Win32Port : public testing::Test {
protected:
    void SetUp() override
    {
        std::istringstream ports(Env("DEVLINK_TEST_PORTS"));
        ports >> line_ >> otherLine_;
        missing_ = Env("DEVLINK_TEST_MISSING");
        if (line_.empty() || otherLine_.empty() || missing_.empty())
            GTEST_SKIP() << "DEVLINK_TEST_PORTS and DEVLINK_TEST_MISSING name no simulated lines";
    }

    void TearDown() override
    {
        for (EX_HANDLE &handle : handles_) {
            EX_CloseCOM(handle);
            EX_FreeCOM(&handle);
        }
    }

    EX_HANDLE NewHandle()
    {
        handles_.push_back(EX_CreateCOM());
        return handles_.back();
    }

    // A handle open on the port at the rate with the timeout; the test fails when it does not open.
    EX_HANDLE OpenHandle(const std::string &port, unsigned baud = 9600, unsigned timeout = 1000)
    {
        EX_HANDLE handle = NewHandle();
        EXPECT_EQ(EX_SetBaudRate(handle, baud), EX_OK);
        EXPECT_EQ(EX_SetTimeout(handle, timeout), EX_OK);
        EXPECT_EQ(EX_OpenCOM(handle, port.c_str()), EX_OK) << port;
        return handle;
    }

    struct Reply {
        int rc;
        std::string data;
    };
    static Reply Exchange(EX_HANDLE handle, unsigned type, unsigned address, unsigned command,
                          const std::string &data = "")
    {
        OutText buffer(256, data);
        const int rc = EX_Exchange(handle, type, address, command, buffer.out());
        return {rc, buffer.text()};
    }

    static std::uint16_t TimeoutOf(EX_HANDLE handle)
    {
        std::uint16_t timeout = 0;
        EXPECT_EQ(EX_GetTimeout(handle, &timeout), EX_OK);
        return timeout;
    }

    static std::pair<int, std::string> Search(EX_HANDLE handle, unsigned type, unsigned first, unsigned last,
                                              HWND window = nullptr, bool notify = false)
    {
        OutText list(8192);
        const int rc = EX_SearchAvailableDevices(handle, notify, window, type, first, last, list.out());
        return {rc, list.text()};
    }

    std::string line_, otherLine_, missing_;

private:
    std::vector<EX_HANDLE> handles_;
};

TEST_F(Win32Port, OpenAndCloseResults)
{
    EX_HANDLE handle = NewHandle();
    for (const char *name : {"com1", "COM", "COM0", "COM257", "LPT1", "COM1x", "COM00012", ""})
        EXPECT_EQ(EX_OpenCOM(handle, name), EX_ERR_BAD_ARGUMENT) << name;
    EXPECT_EQ(EX_OpenCOM(handle, missing_.c_str()), EX_ERR_PORT_MISSING);
    EXPECT_EQ(EX_CloseCOM(handle), EX_ERR_CLOSE);

    ASSERT_EQ(EX_OpenCOM(handle, line_.c_str()), EX_OK);
    EXPECT_EQ(EX_OpenCOM(handle, line_.c_str()), EX_ERR_ALREADY_OPEN);
    EXPECT_EQ(EX_OpenCOM(handle, otherLine_.c_str()), EX_ERR_ALREADY_OPEN);
    EXPECT_EQ(Exchange(handle, 1, 1, 0).rc, EX_OK);
    EXPECT_EQ(EX_CloseCOM(handle), EX_OK);
    EXPECT_EQ(EX_CloseCOM(handle), EX_ERR_CLOSE);
    // Closed again, the port opens again.
    ASSERT_EQ(EX_OpenCOM(handle, line_.c_str()), EX_OK);
    EXPECT_EQ(Exchange(handle, 1, 1, 0).rc, EX_OK);
}

// No sharing: a port held by one opener is refused to every other one.
TEST_F(Win32Port, SecondOpenerIsRefused)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine opens a pseudo-terminal a second time";
    EX_HANDLE holder = OpenHandle(line_);
    EX_HANDLE other = NewHandle();
    EXPECT_EQ(EX_OpenCOM(other, line_.c_str()), EX_ERR_PORT_BUSY);
    EXPECT_EQ(EX_CloseCOM(other), EX_ERR_CLOSE);
    EXPECT_EQ(Exchange(holder, 1, 1, 0).rc, EX_OK);
}

TEST_F(Win32Port, BaudRateRuleAndTheRateOnTheLine)
{
    EX_HANDLE closed = NewHandle();
    std::uint16_t rate = 0;
    for (unsigned ok : {9600u, 19200u, 300u, 9650u, 0x10000u + 1200u}) {
        EXPECT_EQ(EX_SetBaudRate(closed, ok), EX_OK) << ok;
        EXPECT_EQ(EX_GetBaudRate(closed, &rate), EX_OK);
        EXPECT_EQ(rate, ok & 0xFFFF);
    }
    for (unsigned refused : {38400u, 14400u, 100u, 20000u, 0u}) {
        EXPECT_EQ(EX_SetBaudRate(closed, refused), EX_ERR_BAD_ARGUMENT) << refused;
        EXPECT_EQ(EX_GetBaudRate(closed, &rate), EX_OK);
        EXPECT_EQ(rate, 1200);
    }

    // The rate reaches the line at the open and, on an open port, at once.
    EX_HANDLE handle = OpenHandle(line_, 9600, 200);
    EXPECT_EQ(Exchange(handle, 0, 1, 0).rc, EX_OK);
    EXPECT_EQ(Exchange(handle, 0, 2, 0).rc, EX_ERR_READ_TIMEOUT);  // that one runs at 19200
    ASSERT_EQ(EX_SetBaudRate(handle, 19200), EX_OK);
    EXPECT_EQ(Exchange(handle, 0, 2, 0).rc, EX_OK);
    EXPECT_EQ(Exchange(handle, 0, 1, 0).rc, EX_ERR_READ_TIMEOUT);
    ASSERT_EQ(EX_CloseCOM(handle), EX_OK);
    ASSERT_EQ(EX_OpenCOM(handle, line_.c_str()), EX_OK);  // still 19200
    EXPECT_EQ(Exchange(handle, 0, 2, 0).rc, EX_OK);
}

TEST_F(Win32Port, TimeoutsPerDeviceTypeReachTheReads)
{
    EX_HANDLE handle = OpenHandle(line_);
    struct Step {
        unsigned type;
        std::uint16_t timeout;
    };
    for (Step step : {Step{0, 1000}, Step{7, 400}, Step{0, 400}, Step{9, 150}, Step{1, 400}, Step{13, 1200}}) {
        EXPECT_EQ(Exchange(handle, step.type, 1, 0).rc, EX_OK) << step.type;
        EXPECT_EQ(TimeoutOf(handle), step.timeout) << step.type;
    }
    EXPECT_EQ(Exchange(handle, 14, 1, 0).rc, EX_ERR_UNKNOWN_TYPE);
    EXPECT_EQ(EX_AutoConfigTimeout(handle, 16), EX_ERR_UNKNOWN_TYPE);

    // Nobody at address 7: the exchange costs the type's timeout, the receive the handle's.
    ASSERT_EQ(EX_SetTimeout(handle, 1000), EX_OK);
    Reply lost{};
    auto waited = TimeOf([&] { lost = Exchange(handle, 9, 7, 1, "3"); });
    EXPECT_EQ(lost.rc, EX_ERR_READ_TIMEOUT);
    EXPECT_EQ(lost.data, "3");  // the buffer keeps what was sent
    EXPECT_GE(waited, 130ms);
    EXPECT_LT(waited, 900ms);
    ASSERT_EQ(EX_SetTimeout(handle, 300), EX_OK);
    OutText answer;
    waited = TimeOf([&] { EXPECT_EQ(EX_ReciveParcel(handle, answer.out()), EX_ERR_READ_TIMEOUT); });
    EXPECT_GE(waited, 280ms);
    EXPECT_LT(waited, 1000ms);
}

TEST_F(Win32Port, ExchangeAndRawTransfers)
{
    EX_HANDLE handle = OpenHandle(line_);
    EXPECT_EQ(Exchange(handle, 1, 1, 0, "ignored").data, "18");
    EXPECT_EQ(Exchange(handle, 1, 4, 0).data, "34");
    const Reply version = Exchange(handle, 0, 1, 254, "0");
    EXPECT_EQ(version.rc, EX_OK);
    EXPECT_EQ(version.data, "1.0");
    EXPECT_EQ(EX_Exchange(handle, 1, 1, 0, nullptr), EX_OK);  // no text delivered, still sent
    EXPECT_EQ(Exchange(handle, 1, 1, 2, "x").rc, EX_ERR_BAD_COMMAND);

    // A parcel out, the answer from "!" through CR, exactly.
    ASSERT_EQ(EX_TransmitParcel(handle, "\xFF:1;0;50730\r"), EX_OK);
    OutText answer;
    ASSERT_EQ(EX_ReciveParcel(handle, answer.out()), EX_OK);
    EXPECT_EQ(answer.text(), "!1;18;15447\r");
    // A block in, byte by byte.
    const std::uint8_t request[] = "\xFF:1;0;50730\r";
    ASSERT_EQ(EX_TransmitBlock(handle, request, sizeof request - 1), EX_OK);
    std::uint8_t block[12] = {};
    const std::uint16_t count = sizeof block;
    ASSERT_EQ(EX_ReceiveBlock(handle, block, &count), EX_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), sizeof block), "!1;18;15447\r");

    EXPECT_EQ(EX_TransmitParcel(handle, ""), EX_ERR_WRITE_INCOMPLETE);
    EXPECT_EQ(EX_TransmitBlock(handle, block, 0), EX_ERR_WRITE_INCOMPLETE);

    EX_HANDLE closed = NewHandle();
    EXPECT_EQ(EX_TransmitParcel(closed, "x"), EX_ERR_WRITE);
    EXPECT_EQ(EX_ReciveParcel(closed, answer.out()), EX_ERR_READ);
    EXPECT_EQ(Exchange(closed, 0, 1, 0).rc, EX_ERR_WRITE);
}

TEST_F(Win32Port, DeviceSearchListsAnsweringAddressesAndPostsProgress)
{
    EX_HANDLE handle = OpenHandle(line_, 9600, 100);  // type 0 keeps it
    ProgressWindow window, bystander;
    ASSERT_NE(window.handle(), nullptr);
    EXPECT_EQ(Search(handle, 0, 1, 5, window.handle(), true), std::make_pair(0, std::string("(1,18)(4,34)")));
    const UINT id = RegisterWindowMessageA("SX_SearchAvailableDevices");
    ASSERT_TRUE(window.WaitFor(5));
    EXPECT_EQ(window.messages(), (std::vector<ProgressWindow::Message>{
                                     {id, 1, 1}, {id, 2, 0xFFFF}, {id, 3, 0xFFFF}, {id, 4, 4}, {id, 5, 0xFFFF}}));
    // A null window: every top-level window gets it.
    EXPECT_EQ(Search(handle, 0, 4, 4, nullptr, true).second, "(4,34)");
    ASSERT_TRUE(bystander.WaitFor(1));
    EXPECT_EQ(bystander.messages(), (std::vector<ProgressWindow::Message>{{id, 4, 4}}));

    EXPECT_EQ(Search(handle, 0, 5, 4), std::make_pair(int{EX_ERR_BAD_ARGUMENT}, std::string()));
    EXPECT_EQ(Search(handle, 16, 1, 5), std::make_pair(int{EX_ERR_UNKNOWN_TYPE}, std::string()));
    EXPECT_EQ(Search(handle, 20, 1, 1).first, EX_OK);
    EXPECT_EQ(TimeoutOf(handle), 1200);
    EX_HANDLE closed = NewHandle();
    EXPECT_EQ(Search(closed, 0, 1, 3), std::make_pair(int{EX_ERR_WRITE}, std::string()));
}

TEST_F(Win32Port, StopFromAnotherThreadEndsBeforeTheNextAddress)
{
    EX_HANDLE handle = OpenHandle(otherLine_, 9600, 200);  // address 1 only
    EXPECT_EQ(EX_StopSearchAvailableDevices(handle), EX_OK);  // before the search: no effect
    // The window's thread stops the search once address 3 has been tried.
    ProgressWindow window([handle](const ProgressWindow::Message &message) {
        if (message.wParam == 3)
            EX_StopSearchAvailableDevices(handle);
    });
    ASSERT_NE(window.handle(), nullptr);
    const auto [rc, list] = Search(handle, 0, 1, 255, window.handle(), true);
    EXPECT_EQ(rc, EX_OK);
    EXPECT_EQ(list, "(1,18)");
    ASSERT_TRUE(window.WaitFor(3));
    const std::size_t tried = window.messages().size();
    EXPECT_GE(tried, 3u);
    EXPECT_LE(tried, 4u);  // the exchange in progress ends, no further address
}

TEST_F(Win32Port, PortSearchListsPortsThatExistInUseOrNot)
{
    EX_HANDLE handle = OpenHandle(otherLine_);
    ProgressWindow window;
    ASSERT_NE(window.handle(), nullptr);
    OutText ports;
    ASSERT_EQ(EX_SearchAvailableCOMPorts(handle, 1, nullptr, ports.out()), EX_OK);
    const std::string list = ";" + ports.text();
    EXPECT_NE(list.find(";" + line_ + ";"), std::string::npos) << list;
    EXPECT_NE(list.find(";" + otherLine_ + ";"), std::string::npos) << list;  // the handle's own
    EXPECT_EQ(list.find(";" + missing_ + ";"), std::string::npos) << list;
    const UINT id = RegisterWindowMessageA("SX_SearchAvailableCOMPorts");
    ASSERT_TRUE(window.WaitFor(4));
    EXPECT_EQ(window.messages(), (std::vector<ProgressWindow::Message>{
                                     {id, 64, 64}, {id, 128, 128}, {id, 192, 192}, {id, 256, 256}}));
    EXPECT_EQ(Exchange(handle, 1, 1, 0).rc, EX_OK);  // the handle's own port stayed usable
}

}  // namespace
