// The port object through the exports, against the simulated transmitter.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "sim_fixture.h"

namespace {

using vilosim::Fault;
using vilosim::FaultKind;

using PortTest = SimLine;

TEST_F(PortTest, OpenRefusesBadNamesBeforeTheFileSystem) {
    Start();
    // A link under a refused name must not be opened either.
    std::filesystem::create_symlink(sim().tty_path(0), sim().port_dir() / "COM0");
    EX_HANDLE handle = EX_CreateCOM();
    for (const char *name : {"com1", "COM", "COM0", "COM257", "LPT1", "COM00012", "COM1x", "COM-1", "", " COM1"})
        EXPECT_EQ(EX_OpenCOM(handle, name), EX_ERR_BAD_ARGUMENT) << name;
    EXPECT_EQ(EX_OpenCOM(handle, nullptr), EX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(EX_CloseCOM(handle), EX_ERR_CLOSE);
    // Leading zeros within four digits name the same port.
    EXPECT_EQ(EX_OpenCOM(handle, "COM0001"), EX_OK);
    EXPECT_EQ(EX_OpenCOM(handle, "COM1"), EX_ERR_ALREADY_OPEN);
    EXPECT_EQ(EX_CloseCOM(handle), EX_OK);
    EXPECT_EQ(EX_CloseCOM(handle), EX_ERR_CLOSE);
    EXPECT_EQ(EX_FreeCOM(&handle), EX_OK);
}

TEST_F(PortTest, OpenErrorsOfThePlatform) {
    Start();
    const auto dir = sim().port_dir();
    std::filesystem::create_symlink(dir / "nowhere", dir / "COM7");  // dangling
    std::ofstream(dir / "COM8") << "not a tty";

    EX_HANDLE holder = OpenHandle("COM1");
    EX_HANDLE other = EX_CreateCOM();
    EXPECT_EQ(EX_OpenCOM(other, "COM1"), EX_ERR_PORT_BUSY);
    EXPECT_EQ(EX_OpenCOM(other, "COM9"), EX_ERR_PORT_MISSING);
    EXPECT_EQ(EX_OpenCOM(other, "COM7"), EX_ERR_PORT_MISSING);
    EXPECT_EQ(EX_OpenCOM(other, "COM8"), EX_ERR_GET_SETTINGS);
    // Every failed open leaves the object closed and usable; the holder kept its port.
    EXPECT_EQ(EX_CloseCOM(other), EX_ERR_CLOSE);
    EXPECT_EQ(Exchange(holder, 1, 1, 0).rc, EX_OK);
    EXPECT_EQ(EX_FreeCOM(&other), EX_OK);
}

TEST_F(PortTest, BaudRateRule) {
    Start();
    EX_HANDLE handle = EX_CreateCOM();
    std::uint16_t rate = 0;
    for (unsigned ok : {9600u, 19200u, 300u, 9650u, 19299u, 0x10000u + 1200u}) {
        EXPECT_EQ(EX_SetBaudRate(handle, ok), EX_OK) << ok;
        EXPECT_EQ(EX_GetBaudRate(handle, &rate), EX_OK);
        EXPECT_EQ(rate, ok & 0xFFFF);
    }
    for (unsigned refused : {38400u, 14400u, 100u, 19300u, 20000u, 0u, 115200u}) {
        EXPECT_EQ(EX_SetBaudRate(handle, refused), EX_ERR_BAD_ARGUMENT) << refused;
        EXPECT_EQ(EX_GetBaudRate(handle, &rate), EX_OK);
        EXPECT_EQ(rate, 1200);
    }
    EXPECT_EQ(EX_FreeCOM(&handle), EX_OK);
}

TEST_F(PortTest, OddRateRunsAsItStands) {
    vilosim::Config config;
    config.lines.push_back({.name = "COM1", .devices = {{.address = 1, .baud = 9650}, {.address = 2, .baud = 9600}}});
    Start(std::move(config));
    EX_HANDLE handle = OpenHandle("COM1", 9650);
    EXPECT_EQ(Exchange(handle, 9, 1, 0).rc, EX_OK);
    EXPECT_EQ(Exchange(handle, 9, 2, 0).rc, EX_ERR_READ_TIMEOUT);  // that device runs at 9600
    // Changing the rate of an open port applies it at once.
    EXPECT_EQ(EX_SetBaudRate(handle, 9600), EX_OK);
    EXPECT_EQ(Exchange(handle, 9, 2, 0).rc, EX_OK);
    EXPECT_EQ(Exchange(handle, 9, 1, 0).rc, EX_ERR_READ_TIMEOUT);
    ASSERT_TRUE(sim().wait_for_log(0, 4, 1s));
    EXPECT_EQ(sim().log(0)[0].host_baud, 9650);
}

TEST_F(PortTest, ExchangeSetsTheTypesTimeoutAndKeepsIt) {
    Start();
    EX_HANDLE handle = OpenHandle();
    struct Step {
        unsigned type;
        std::uint16_t timeout;
    };
    ASSERT_EQ(EX_SetTimeout(handle, 1000), EX_OK);
    for (Step step : {Step{0, 1000}, Step{7, 400}, Step{0, 400}, Step{9, 150}, Step{1, 400}, Step{13, 1200}}) {
        EXPECT_EQ(Exchange(handle, step.type, 1, 0).rc, EX_OK) << step.type;
        std::uint16_t timeout = 0;
        EXPECT_EQ(EX_GetTimeout(handle, &timeout), EX_OK);
        EXPECT_EQ(timeout, step.timeout) << step.type;
    }
    EXPECT_EQ(Exchange(handle, 14, 1, 0).rc, EX_ERR_UNKNOWN_TYPE);
    EXPECT_EQ(EX_AutoConfigTimeout(handle, 16), EX_ERR_UNKNOWN_TYPE);
    EXPECT_EQ(EX_AutoConfigTimeout(handle, 15), EX_OK);
    std::uint16_t timeout = 0;
    EX_GetTimeout(handle, &timeout);
    EXPECT_EQ(timeout, 2000);

    EX_HANDLE closed = EX_CreateCOM();
    EXPECT_EQ(EX_SetTimeout(closed, 250), EX_OK);
    EX_GetTimeout(closed, &timeout);
    EXPECT_EQ(timeout, 250);
    EXPECT_EQ(EX_FreeCOM(&closed), EX_OK);
}

TEST_F(PortTest, ExchangeSendsTheLibrarysParcelAndDeliversThePayload) {
    Start();
    EX_HANDLE handle = OpenHandle();
    const auto reply = Exchange(handle, 1, 1, 0, "ignored");
    EXPECT_EQ(reply.rc, EX_OK);
    EXPECT_EQ(reply.data, "18");
    const auto version = Exchange(handle, 0, 1, 254, "0");
    EXPECT_EQ(version.rc, EX_OK);
    EXPECT_EQ(version.data, "1.0");
    ASSERT_TRUE(sim().wait_for_log(0, 2, 1s));
    const auto log = sim().log(0);
    EXPECT_EQ(log[0].request, "\xFF:1;0;50730\r");
    EXPECT_EQ(log[1].request, vilosim::request("1;254;0;", true));
    EXPECT_EQ(log[0].answer, "!1;18;15447\r");
}

TEST_F(PortTest, ExchangeFailuresAndWhatTheBufferHolds) {
    Start();
    EX_HANDLE handle = OpenHandle();
    // No answer: the buffer keeps what was sent; one timeout.
    sim().add_fault(0, 0, Fault{.kind = FaultKind::NoReply, .times = 1});
    Reply lost{};
    const auto waited = TimeOf([&] { lost = Exchange(handle, 9, 1, 1, "3"); });
    EXPECT_EQ(lost.rc, EX_ERR_READ_TIMEOUT);
    EXPECT_EQ(lost.data, "3");
    EXPECT_GE(waited, 150ms);

    // A device report comes back as the code and as the text.
    sim().add_fault(0, 0, Fault{.kind = FaultKind::DeviceError, .times = 1, .error = 6});
    EXPECT_EQ(Exchange(handle, 7, 1, 1, "3").rc, -1006);
    sim().add_fault(0, 0, Fault{.kind = FaultKind::DeviceError, .times = 1, .error = 6});
    EXPECT_EQ(Exchange(handle, 7, 1, 1, "3").data, "$6");

    struct Case {
        FaultKind kind;
        int rc;
    };
    for (Case c : {Case{FaultKind::BadChecksum, EX_ERR_CHECKSUM}, Case{FaultKind::WrongAddress, EX_ERR_ADDRESS},
                   Case{FaultKind::Oversize, EX_ERR_READ_TIMEOUT}, Case{FaultKind::Garbage, EX_OK},
                   Case{FaultKind::Trickle, EX_OK}}) {
        sim().add_fault(0, 0, Fault{.kind = c.kind, .times = 1, .pause = 5ms});
        EXPECT_EQ(Exchange(handle, 1, 1, 0).rc, c.rc) << static_cast<int>(c.kind);
        sim().clear_faults(0, 0);
    }
    // An unknown command of the type is refused before anything is sent.
    const std::size_t sent = sim().log(0).size();
    EXPECT_EQ(Exchange(handle, 1, 1, 2, "x").rc, EX_ERR_BAD_COMMAND);
    EXPECT_EQ(Exchange(handle, 0, 1, 1, "").rc, EX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(sim().log(0).size(), sent);
}

TEST_F(PortTest, ALateAnswerWaitsInTheBufferForTheNextExchange) {
    Start();
    EX_HANDLE handle = OpenHandle();
    sim().add_fault(0, 0, Fault{.kind = FaultKind::Delay, .times = 1, .delay = 400ms});
    EXPECT_EQ(Exchange(handle, 9, 1, 0).rc, EX_ERR_READ_TIMEOUT);  // 150 ms for type 9
    ASSERT_TRUE(sim().wait_for_log(0, 1, 2s));
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!sim().log(0)[0].answered() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    ASSERT_TRUE(sim().log(0)[0].answered());
    sim().add_fault(0, 0, Fault{.kind = FaultKind::NoReply});
    // The next receive takes the late answer from the buffer.
    EXPECT_EQ(Exchange(handle, 9, 1, 0).data, "18");
}

TEST_F(PortTest, DeviceData) {
    Start();
    EX_HANDLE handle = OpenHandle();
    const int parameter = 5;
    struct Case {
        const char *payload;
        int rc;
        double value;
    };
    for (Case c : {Case{"25.4", EX_OK, 25.4}, Case{"-1.5e2", EX_OK, -150}, Case{"$6", -1006, 0},
                   Case{"1.5;2.5", EX_ERR_PAYLOAD, 0}, Case{"12,5", EX_ERR_PAYLOAD, 0}, Case{"inf", EX_ERR_PAYLOAD, 0}}) {
        sim().set_reading(0, 0, parameter, c.payload);
        double value = 99;
        EXPECT_EQ(EX_GetDeviceData(handle, 1, 1, parameter, &value), c.rc) << c.payload;
        EXPECT_DOUBLE_EQ(value, c.value) << c.payload;
    }
    ASSERT_TRUE(sim().wait_for_log(0, 1, 1s));
    EXPECT_EQ(sim().log(0)[0].request, vilosim::request("1;1;5;", true));
}

TEST_F(PortTest, TransfersOnAClosedPortAndEmptyTransfers) {
    Start();
    EX_HANDLE handle = EX_CreateCOM();
    OutText answer;
    std::uint8_t block[4] = {};
    const std::uint16_t four = 4, none = 0;
    EXPECT_EQ(EX_TransmitParcel(handle, "x"), EX_ERR_WRITE);
    EXPECT_EQ(EX_ReciveParcel(handle, answer.out()), EX_ERR_READ);
    EXPECT_EQ(EX_TransmitBlock(handle, block, 4), EX_ERR_WRITE);
    EXPECT_EQ(EX_ReceiveBlock(handle, block, &four), EX_ERR_READ);
    EXPECT_EQ(Exchange(handle, 0, 1, 0).rc, EX_ERR_WRITE);
    EXPECT_EQ(EX_FreeCOM(&handle), EX_OK);

    EX_HANDLE open = OpenHandle();
    EXPECT_EQ(EX_TransmitParcel(open, ""), EX_ERR_WRITE_INCOMPLETE);
    EXPECT_EQ(EX_TransmitParcel(open, nullptr), EX_ERR_WRITE_INCOMPLETE);
    EXPECT_EQ(EX_TransmitBlock(open, block, 0), EX_ERR_WRITE_INCOMPLETE);
    EXPECT_EQ(EX_ReceiveBlock(open, block, &none), EX_OK);
}

TEST_F(PortTest, ReceiveSkipsToTheStartAndStopsAtCR) {
    Start();
    EX_HANDLE handle = OpenHandle();
    ASSERT_EQ(EX_SetTimeout(handle, 200), EX_OK);
    sim().add_fault(0, 0, Fault{.kind = FaultKind::Garbage, .times = 1, .garbage = "xyz"});
    ASSERT_EQ(EX_TransmitParcel(handle, vilosim::request("1;0;").c_str()), EX_OK);
    OutText answer;
    ASSERT_EQ(EX_ReciveParcel(handle, answer.out()), EX_OK);
    EXPECT_EQ(answer.text(), "!1;18;15447\r");
    // Nothing more arrives: one timeout.
    const auto waited = TimeOf([&] { EXPECT_EQ(EX_ReciveParcel(handle, answer.out()), EX_ERR_READ_TIMEOUT); });
    EXPECT_GE(waited, 200ms);

    // A block is read byte by byte, as it comes.
    ASSERT_EQ(EX_TransmitParcel(handle, vilosim::request("1;0;").c_str()), EX_OK);
    std::uint8_t block[12] = {};
    const std::uint16_t count = 12;
    ASSERT_EQ(EX_ReceiveBlock(handle, block, &count), EX_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), 12), "!1;18;15447\r");
}

TEST_F(PortTest, AHangUpFailsAtOnceAndTheHandleStaysUsable) {
    Start();
    EX_HANDLE handle = OpenHandle();
    ASSERT_EQ(EX_SetTimeout(handle, 2000), EX_OK);
    sim().add_fault(0, 0, Fault{.kind = FaultKind::HangUp, .bytes = 4});
    Reply reply{};
    const auto waited = TimeOf([&] { reply = Exchange(handle, 0, 1, 0); });
    EXPECT_EQ(reply.rc, EX_ERR_READ);
    EXPECT_LT(waited, 1500ms);  // far below the 2000 ms timeout: a hang-up is no wait
    EXPECT_EQ(EX_TransmitParcel(handle, "x"), EX_ERR_WRITE);
    OutText answer;
    EXPECT_EQ(EX_ReciveParcel(handle, answer.out()), EX_ERR_READ);
    EXPECT_EQ(EX_CloseCOM(handle), EX_OK);
}

}  // namespace
