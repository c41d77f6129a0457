// The two-step transaction, the four-byte write and the port cycle against simulated
// transmitters: the exact requests on the line, their checksums and the pauses between them.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/devlink_layer.h"
#include "sim_line.h"

namespace {

using vilo::PortCycle;
using vilo::PortStep;
using vilosim::FaultKind;

constexpr int kTimeout = 200;  // ms, for the exchanges that wait in vain

// Every request after the first starts at least the pause after the answer before it.
void ExpectPausesBetween(const std::vector<vilosim::LogEntry> &log) {
    for (std::size_t i = 1; i < log.size(); ++i) {
        ASSERT_TRUE(log[i - 1].answered()) << i - 1;
        EXPECT_GE(log[i].first_byte - log[i - 1].answer_end, vilo::kExchangePause)
            << "between request " << i - 1 << " and " << i << ": "
            << Millis(log[i].first_byte - log[i - 1].answer_end).count() << " ms";
    }
}

class TwoStepExchangeTest : public SimLine {
protected:
    void SetUp() override { Start(OneDevice({.address = 1, .serial = 0x1234, .sensor = 0xAB})); }
};

TEST_F(TwoStepExchangeTest, SendsPointerThenOperationWithPauses) {
    PortCycle port(9600, 500);
    ASSERT_EQ(port.Open("COM1"), EX_OK);

    std::uint8_t address = 0;
    std::string payload = "0";
    ASSERT_EQ(vilo::TwoStepExchange(port.Handle(), ":1;2;24;", ":1;8;2;", address, payload), EX_OK);
    EXPECT_EQ(address, 1);
    EXPECT_EQ(payload, "3412");
    EXPECT_EQ(vilo::HexToWord(payload), 0x1234);

    payload = "0";
    ASSERT_EQ(vilo::TwoStepExchange(port.Handle(), ":1;2;19;", ":1;8;1;", address, payload), EX_OK);
    EXPECT_EQ(payload, "ab");
    EXPECT_EQ(vilo::HexToByteField(payload), 0xAB);

    // Bodies with the simulator's own checksum and CR, no lead byte.
    EXPECT_EQ(Requests(), (std::vector<std::string>{vilosim::request("1;2;24;"), vilosim::request("1;8;2;"),
                                                    vilosim::request("1;2;19;"), vilosim::request("1;8;1;")}));
    EXPECT_EQ(Requests()[0], ":1;2;24;" + std::to_string(vilosim::crc16("1;2;24;")) + "\r");
    // After answer A, and after the last answer before the next transaction.
    ExpectPausesBetween(sim().log(0));
}

TEST_F(TwoStepExchangeTest, TakesAnswerBAsTheAnalysisDeliversIt) {
    struct Case {
        const char *name;
        vilosim::Fault fault;
        std::int32_t rc;
        std::string payload;
        std::uint8_t address;
    };
    const std::vector<Case> cases = {
        // A device report is payload, not an error.
        {"device error", {.kind = FaultKind::DeviceError, .command = 8, .times = 1, .error = 5}, EX_OK, "$5", 1},
        // The answer's address is handed on, not compared.
        {"other address", {.kind = FaultKind::WrongAddress, .command = 8, .times = 1, .address = 9}, EX_OK, "3412", 9},
        // A failed analysis delivers address 0 and no payload.
        {"bad checksum", {.kind = FaultKind::BadChecksum, .command = 8, .times = 1}, EX_ERR_CHECKSUM, "", 0},
        // No answer: the outputs keep what the caller put there.
        {"no answer", {.kind = FaultKind::NoReply, .command = 8, .times = 1}, EX_ERR_READ_TIMEOUT, "0", 77},
    };
    PortCycle port(9600, kTimeout);
    ASSERT_EQ(port.Open("COM1"), EX_OK);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim().add_fault(0, 0, c.fault);
        std::uint8_t address = 77;
        std::string payload = "0";
        EXPECT_EQ(vilo::TwoStepExchange(port.Handle(), ":1;2;24;", ":1;8;2;", address, payload), c.rc);
        EXPECT_EQ(payload, c.payload);
        EXPECT_EQ(address, c.address);
    }
}

TEST_F(TwoStepExchangeTest, FailureAtStepAEndsItAndStillPauses) {
    PortCycle port(9600, kTimeout);
    ASSERT_EQ(port.Open("COM1"), EX_OK);
    // Answer A runs past 255 characters: the receive fails at once.
    sim().add_fault(0, 0, {.kind = FaultKind::Oversize, .command = 2, .times = 1});

    std::uint8_t address = 77;
    std::string payload = "0";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vilo::TwoStepExchange(port.Handle(), ":1;2;24;", ":1;8;2;", address, payload), EX_ERR_READ_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, vilo::kExchangePause);
    EXPECT_EQ(payload, "0");
    EXPECT_EQ(address, 77);

    // Body B was never sent; the next transaction follows the pause and works.
    ASSERT_EQ(vilo::TwoStepExchange(port.Handle(), ":1;2;24;", ":1;8;2;", address, payload), EX_OK);
    EXPECT_EQ(payload, "3412");
    const auto log = sim().log(0);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].request, vilosim::request("1;2;24;"));
    EXPECT_EQ(log[1].request, vilosim::request("1;2;24;"));
    EXPECT_GE(log[1].first_byte - log[0].complete, vilo::kExchangePause);
}

TEST_F(TwoStepExchangeTest, FailureAtStepBStillPausesBeforeReturning) {
    PortCycle port(9600, kTimeout);
    ASSERT_EQ(port.Open("COM1"), EX_OK);
    sim().add_fault(0, 0, {.kind = FaultKind::NoReply, .command = 8, .times = 1});

    std::uint8_t address = 0;
    std::string payload = "0";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vilo::TwoStepExchange(port.Handle(), ":1;2;24;", ":1;8;2;", address, payload), EX_ERR_READ_TIMEOUT);
    // Pause after A, the read timeout of B, the closing pause.
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              2 * vilo::kExchangePause + std::chrono::milliseconds(kTimeout));
    ASSERT_TRUE(sim().wait_for_log(0, 2, 1s));
    EXPECT_EQ(Requests(), (std::vector<std::string>{vilosim::request("1;2;24;"), vilosim::request("1;8;2;")}));
}

// Two transmitters on one line, so that the write is seen to go to WriteTargetAddress only.
class WriteFourBytesTest : public SimLine {
protected:
    void SetUp() override {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {{.address = 1}, {.address = 7}}});
        Start(std::move(config));
    }
};

TEST_F(WriteFourBytesTest, WritesFourCellsLeastSignificantFirst) {
    struct Case {
        const char *target;
        std::size_t device;
        std::uint8_t firstCell;
        std::uint32_t bits;
        std::array<int, 4> cells;
        std::array<int, 4> bytes;
    };
    const Case cases[] = {
        {"1", 0, 64, vilo::SingleBits(1.0f), {64, 65, 66, 67}, {0, 0, 128, 63}},
        {"7", 1, 68, vilo::SingleBits(100.0f), {68, 69, 70, 71}, {0, 0, 200, 66}},
        {"1", 0, 254, 0x04030201u, {254, 255, 0, 1}, {1, 2, 3, 4}},
    };
    PortCycle port(9600, 500);
    ASSERT_EQ(port.Open("COM1"), EX_OK);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target + std::string(" from cell ") + std::to_string(c.firstCell));
        sim().clear_log(0);
        const auto otherBefore = sim().cells(0, 1 - c.device);
        vilo::WriteTargetAddress.Set(c.target);

        ASSERT_EQ(vilo::WriteFourBytes(port.Handle(), c.firstCell, c.bits), EX_OK);

        std::vector<std::string> expected;
        for (int i = 0; i < 4; ++i) {
            expected.push_back(vilosim::request(c.target + (";2;" + std::to_string(c.cells[i]) + ";")));
            expected.push_back(vilosim::request(c.target + (";4;" + std::to_string(c.bytes[i]) + ";")));
        }
        EXPECT_EQ(Requests(), expected);
        const auto cells = sim().cells(0, c.device);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(cells[c.cells[i]], c.bytes[i]) << "cell " << c.cells[i];
        EXPECT_EQ(sim().cells(0, 1 - c.device), otherBefore);
        ExpectPausesBetween(sim().log(0));
    }
}

TEST_F(WriteFourBytesTest, FirstFailureEndsTheWrite) {
    struct Case {
        const char *name;
        FaultKind kind;
        std::int32_t rc;
        std::size_t requests;
    };
    const Case cases[] = {
        {"bad checksum", FaultKind::BadChecksum, EX_ERR_CHECKSUM, 4},
        {"no answer", FaultKind::NoReply, EX_ERR_READ_TIMEOUT, 4},
        // A device report arrives as payload: the write goes on.
        {"device error", FaultKind::DeviceError, EX_OK, 8},
    };
    constexpr std::uint8_t kCell = 64;
    PortCycle port(9600, kTimeout);
    ASSERT_EQ(port.Open("COM1"), EX_OK);
    vilo::WriteTargetAddress.Set("1");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim().clear_log(0);
        const auto before = sim().cells(0, 0);
        // The write of the second byte fails.
        sim().add_fault(0, 0, {.kind = c.kind, .command = 4, .cell = kCell + 1, .times = 1, .error = 3});

        EXPECT_EQ(vilo::WriteFourBytes(port.Handle(), kCell, 0x44332211u), c.rc);

        ASSERT_TRUE(sim().wait_for_log(0, c.requests, 1s));
        const auto requests = Requests();
        ASSERT_EQ(requests.size(), c.requests);
        EXPECT_EQ(requests[2], vilosim::request("1;2;65;"));
        EXPECT_EQ(requests[3], vilosim::request("1;4;34;"));
        const auto cells = sim().cells(0, 0);
        EXPECT_EQ(cells[kCell], 0x11);
        if (c.rc != EX_OK) {
            EXPECT_EQ(cells[kCell + 2], before[kCell + 2]);
            EXPECT_EQ(cells[kCell + 3], before[kCell + 3]);
        } else {
            EXPECT_EQ(cells[kCell + 3], 0x44);
        }
    }
}

class PortCycleTest : public SimLine {
protected:
    void SetUp() override {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {{.address = 1}}});
        config.lines.push_back({.name = "COM2", .devices = {{.address = 2}}});
        Start(std::move(config));
    }

    // Whether another operation could take the port now.
    static bool PortFree(const std::string &name) {
        PortCycle other(9600, 500);
        return other.Open(name) == EX_OK;
    }
};

TEST_F(PortCycleTest, ReportsTheStepThatFailed) {
    PortCycle holder(9600, 500);
    ASSERT_EQ(holder.Open("COM2"), EX_OK);  // COM2 is in use by someone else

    struct Case {
        std::int32_t baud;
        const char *port;
        PortStep step;
        std::int32_t code;
    };
    const Case cases[] = {
        {115200, "COM1", PortStep::BaudRate, EX_ERR_BAD_ARGUMENT},
        {100, "COM1", PortStep::BaudRate, EX_ERR_BAD_ARGUMENT},
        {9600, "COM9", PortStep::Open, EX_ERR_PORT_MISSING},
        {9600, "COM2", PortStep::Open, EX_ERR_PORT_BUSY},
        {9600, "com1", PortStep::Open, EX_ERR_BAD_ARGUMENT},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.baud) + " " + c.port);
        PortCycle port(c.baud, 500);
        EXPECT_EQ(port.Ready(), c.step == PortStep::Open);
        EXPECT_EQ(port.Open(c.port), c.code);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.FailedStep(), c.step);
        EXPECT_EQ(port.FailedCode(), c.code);
        // A refused setting means no port was opened at all.
        EXPECT_TRUE(PortFree("COM1"));
        port.Close();
    }
    EXPECT_TRUE(Requests().empty());
}

TEST_F(PortCycleTest, OpensOnePortAfterAnotherAndLeavesThemFree) {
    {
        PortCycle port(9600, 500);
        ASSERT_TRUE(port.Ready());
        EXPECT_EQ(port.Open("COM9"), EX_ERR_PORT_MISSING);
        port.Close();
        ASSERT_EQ(port.Open("COM1"), EX_OK);
        EXPECT_EQ(port.FailedStep(), PortStep::None);
        EXPECT_FALSE(PortFree("COM1"));
        port.Close();
        EXPECT_TRUE(PortFree("COM1"));

        // Opening the next port closes the one still open.
        ASSERT_EQ(port.Open("COM1"), EX_OK);
        ASSERT_EQ(port.Open("COM2"), EX_OK);
        EXPECT_TRUE(PortFree("COM1"));
        std::uint8_t address = 0;
        std::string payload = "0";
        EXPECT_EQ(vilo::TwoStepExchange(port.Handle(), ":2;2;16;", ":2;8;1;", address, payload), EX_OK);
        EXPECT_EQ(payload, "02");  // the address cell
        EXPECT_FALSE(PortFree("COM2"));
    }
    // The end of the cycle closes the port.
    EXPECT_TRUE(PortFree("COM2"));
}

}  // namespace
