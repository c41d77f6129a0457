// The Linux serial port over real pseudo-terminals: the master side plays the device.
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial.h"
#include "platform/serial_posix_detail.h"
#include "pty_support.h"

namespace devlink::platform::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

const char *Name(OpenStatus status)
{
    switch (status) {
    case OpenStatus::Ok: return "Ok";
    case OpenStatus::NotFound: return "NotFound";
    case OpenStatus::AccessDenied: return "AccessDenied";
    case OpenStatus::Failed: return "Failed";
    }
    return "?";
}

}  // namespace

void PrintTo(OpenStatus status, std::ostream *out)
{
    *out << Name(status);
}

namespace {

// ---- Opening: what a port name can turn out to be ----

struct OpenCase {
    const char *name;
    void (*prepare)(const PortDir &dir);  // makes COM1 what the case is about
    OpenStatus expected;
};

void Nothing(const PortDir &) {}
void DanglingLink(const PortDir &dir) { dir.Link(1, dir.path() + "/gone"); }
void LinkToDirectory(const PortDir &dir) { dir.Link(1, dir.path()); }
void PortDirIsAFile(const PortDir &dir)
{
    const std::string file = dir.path() + "/plain";
    std::ofstream(file) << "x";
    setenv("DEVLINK_PORT_DIR", file.c_str(), 1);  // PortDir restores it
}

void PrintTo(const OpenCase &c, std::ostream *out)
{
    *out << c.name;
}

class OpenStatusTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenStatusTest, MapsTheReasonTheOpenFailed)
{
    const PortDir dir;
    GetParam().prepare(dir);
    OpenStatus status = OpenStatus::Ok;
    const auto port = SerialPort::Open(1, status);
    EXPECT_EQ(status, GetParam().expected);
    EXPECT_EQ(port, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenStatusTest,
    ::testing::Values(OpenCase{"NoSuchName", Nothing, OpenStatus::NotFound},
                      OpenCase{"DanglingLink", DanglingLink, OpenStatus::NotFound},
                      OpenCase{"PortDirIsAFile", PortDirIsAFile, OpenStatus::NotFound},
                      OpenCase{"Directory", LinkToDirectory, OpenStatus::Failed}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SerialOpen, AFileThatIsNoTtyOpensButHasNoSettings)
{
    const PortDir dir;
    const std::string file = dir.path() + "/file";
    std::ofstream(file) << "not a tty";
    dir.Link(2, file);
    OpenStatus status = OpenStatus::Failed;
    const auto port = SerialPort::Open(2, status);
    ASSERT_EQ(status, OpenStatus::Ok);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(port->ReadSettings());
    EXPECT_FALSE(port->WriteSettings(9600));
    EXPECT_TRUE(port->Close());
}

TEST(SerialOpen, PortNamesResolveInThePortDirectoryOnly)
{
    const Pty pty;
    const PortDir dir;
    dir.Link(17, pty.slave());
    EXPECT_EQ(posix::PortDevicePath(17), dir.path() + "/COM17");

    OpenStatus status = OpenStatus::Failed;
    auto port = SerialPort::Open(17, status);
    EXPECT_EQ(status, OpenStatus::Ok);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(port->Close());

    // No fallback to /dev/ttyS0 while a port directory is set.
    EXPECT_EQ(SerialPort::Open(1, status), nullptr);
    EXPECT_EQ(status, OpenStatus::NotFound);
}

TEST(SerialOpen, WithoutAPortDirectoryNamesMapToDevTtyS)
{
    const PortDir dir;  // restores DEVLINK_PORT_DIR afterwards
    for (const char *unset : {static_cast<const char *>(""), static_cast<const char *>(nullptr)}) {
        if (unset == nullptr)
            unsetenv("DEVLINK_PORT_DIR");
        else
            setenv("DEVLINK_PORT_DIR", unset, 1);
        for (const unsigned n : {1u, 10u, 256u}) {
            struct stat link {};
            if (lstat(("/dev/COM" + std::to_string(n)).c_str(), &link) == 0)
                EXPECT_EQ(posix::PortDevicePath(n), "/dev/COM" + std::to_string(n));
            else
                EXPECT_EQ(posix::PortDevicePath(n), "/dev/ttyS" + std::to_string(n - 1));
        }
    }
}

// Whether the tty is still exclusive, as another program would find it: a refused open
// (ordinary users), or the flag itself (root, whom TIOCEXCL does not refuse).
bool TtyIsExclusive(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    int exclusive = 0;
    const bool known = ioctl(fd, TIOCGEXCL, &exclusive) == 0;
    close(fd);
    return known && exclusive != 0;
}

TEST(SerialOpen, ASecondOpenerIsRefusedAndLeavesTheHolderExclusive)
{
    const Pty pty;
    const PortDir dir;
    dir.Link(3, pty.slave());
    OpenStatus status = OpenStatus::Failed;
    auto holder = SerialPort::Open(3, status);
    ASSERT_EQ(status, OpenStatus::Ok);
    ASSERT_TRUE(TtyIsExclusive(pty.slave()));

    EXPECT_EQ(SerialPort::Open(3, status), nullptr);
    EXPECT_EQ(status, OpenStatus::AccessDenied);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OpenStatus childStatus = OpenStatus::Ok;
        const bool refused = SerialPort::Open(3, childStatus) == nullptr;
        _exit(refused && childStatus == OpenStatus::AccessDenied ? 0 : 1);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0) << "another process was not refused";

    EXPECT_TRUE(TtyIsExclusive(pty.slave())) << "a refused opener cleared the holder's TIOCEXCL";
    EXPECT_TRUE(holder->Close());
    EXPECT_FALSE(TtyIsExclusive(pty.slave())) << "closing left the tty exclusive";
    auto next = SerialPort::Open(3, status);
    EXPECT_EQ(status, OpenStatus::Ok);
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->Close());
}

// ---- An open line ----

class OpenLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.Link(5, pty.slave());
        // A second descriptor of the tty, opened before the port makes it exclusive, to see
        // when input has arrived without taking it.
        watcher = open(pty.slave().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(watcher, 0);
        LeaveTheTtyCooked();
        port = OpenLikeThePortObject(5, 9600, 1000);
        ASSERT_NE(port, nullptr);
    }
    void TearDown() override
    {
        if (port)
            port->Close();
        close(watcher);
    }

    // As another program may have left the port: every translation a raw line must undo.
    void LeaveTheTtyCooked() const
    {
        termios cooked{};
        ASSERT_EQ(tcgetattr(watcher, &cooked), 0);
        cooked.c_iflag |= ISTRIP | ICRNL | INLCR | IGNCR | IXON | IXOFF | IXANY | BRKINT | PARMRK | INPCK;
        cooked.c_oflag |= OPOST | ONLCR | OCRNL;
        cooked.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
        cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
        cooked.c_cflag &= ~CLOCAL;
        cooked.c_cc[VMIN] = 1;
        cooked.c_cc[VTIME] = 5;
        ASSERT_EQ(tcsetattr(watcher, TCSANOW, &cooked), 0);
    }

    bool InputArrives()
    {
        pollfd ready{watcher, POLLIN, 0};
        return poll(&ready, 1, 5000) == 1 && (ready.revents & POLLIN) != 0;
    }

    Pty pty;
    PortDir dir;
    int watcher = -1;
    std::unique_ptr<SerialPort> port;
};

TEST_F(OpenLine, EveryByteCrossesUnchangedBothWays)
{
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);
    // The bytes a cooked line would eat or change: CR, LF, XON, XOFF, 0xFF, the control keys.
    for (const std::uint8_t b : {0x0D, 0x0A, 0x11, 0x13, 0xFF, 0x03, 0x04, 0x1A, 0x7F, 0x16, 0x0D, 0x0A})
        all.push_back(b);

    const WriteResult sent = port->Write(all.data(), all.size());
    EXPECT_TRUE(sent.ok);
    EXPECT_EQ(sent.written, all.size());
    EXPECT_EQ(pty.Read(all.size()), all);

    pty.Write(all);
    std::vector<std::uint8_t> received;
    std::uint8_t byte = 0;
    while (received.size() < all.size() && port->ReadByte(byte) == ReadStatus::Byte)
        received.push_back(byte);
    ASSERT_EQ(received, all);  // with XON/XOFF still on, the write below would stop for good

    // Nothing was echoed back: the next byte the device sees is the one sent next.
    const std::uint8_t marker = 'Z';
    EXPECT_TRUE(port->Write(&marker, 1).ok);
    EXPECT_EQ(pty.Read(1), Bytes("Z"));
}

TEST_F(OpenLine, TheLineIs8N1WithoutFlowControl)
{
    termios seen{};
    ASSERT_EQ(tcgetattr(pty.master(), &seen), 0);  // the master reports the port's settings
    EXPECT_EQ(seen.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(seen.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(seen.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(seen.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(seen.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(seen.c_cc[VMIN], 0);
    EXPECT_EQ(seen.c_cc[VTIME], 0);
}

TEST_F(OpenLine, AReadWithNothingComingTakesTheTimeout)
{
    ASSERT_TRUE(port->WriteTimeouts(150));
    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);
    const auto took = Since(start);
    EXPECT_GE(took, 150ms);
    EXPECT_LT(took, 5000ms);
}

TEST_F(OpenLine, ClearingTheReceiveBufferDropsALateAnswer)
{
    pty.Write(Bytes("!"));
    ASSERT_TRUE(InputArrives());
    ASSERT_TRUE(port->ClearReceiveBuffer());
    ASSERT_TRUE(port->WriteTimeouts(100));
    std::uint8_t byte = 0;
    EXPECT_EQ(port->ReadByte(byte), ReadStatus::Timeout);
}

// The device hangs up, with nothing or with part of an answer sent: the port fails at once
// rather than waiting out its timeout, and can still be closed.
class HangUp : public OpenLine, public ::testing::WithParamInterface<const char *> {};

TEST_P(HangUp, ReadsAndWritesFailAtOnce)
{
    ASSERT_TRUE(port->WriteTimeouts(10000));
    pty.Write(Bytes(GetParam()));
    pty.CloseMaster();

    const auto start = Clock::now();
    std::uint8_t byte = 0;
    ReadStatus status = ReadStatus::Byte;
    for (int i = 0; i < 64 && status == ReadStatus::Byte; ++i)
        status = port->ReadByte(byte);
    EXPECT_EQ(status, ReadStatus::Failed);
    EXPECT_LT(Since(start), 5000ms);

    const auto request = Bytes("\x02\x30\x31;0;\r");
    const WriteResult sent = port->Write(request.data(), request.size());
    EXPECT_FALSE(sent.ok);
    EXPECT_TRUE(port->Close());
}

INSTANTIATE_TEST_SUITE_P(Pending, HangUp, ::testing::Values("", "!5;18;"),
                         [](const auto &info) { return *info.param == '\0' ? "Nothing" : "PartOfAnAnswer"; });

TEST_F(OpenLine, AClosedPortRefusesEverything)
{
    ASSERT_TRUE(port->Close());
    std::uint8_t byte = 0;
    EXPECT_FALSE(port->Write(&byte, 1).ok);
    EXPECT_EQ(port->ReadByte(byte), ReadStatus::Failed);
    EXPECT_FALSE(port->ReadSettings());
    EXPECT_FALSE(port->WriteSettings(9600));
    EXPECT_FALSE(port->WriteTimeouts(100));
    EXPECT_FALSE(port->ClearReceiveBuffer());
    EXPECT_FALSE(port->Close());
}

// ---- Rates: each one set in turn and read back by the far side ----

struct Rates {
    std::vector<std::uint32_t> sequence;
};

std::string Join(const Rates &rates)
{
    std::string name;
    for (const std::uint32_t rate : rates.sequence)
        name += (name.empty() ? "" : "_") + std::to_string(rate);
    return name;
}

void PrintTo(const Rates &rates, std::ostream *out)
{
    *out << Join(rates);
}

class RateTest : public OpenLine, public ::testing::WithParamInterface<Rates> {};

TEST_P(RateTest, TheFarSideSeesEveryRateExactly)
{
    for (const std::uint32_t rate : GetParam().sequence) {
        // As the port object sets a rate: the settings are read again first.
        ASSERT_TRUE(port->ReadSettings());
        ASSERT_TRUE(port->WriteSettings(rate)) << rate;
        LineRates seen;
        ASSERT_TRUE(ReadLineRates(pty.master(), seen));
        EXPECT_EQ(seen.output, rate);
        EXPECT_EQ(seen.input, rate) << "after setting " << rate;
    }
}

INSTANTIATE_TEST_SUITE_P(Sequences, RateTest,
                         ::testing::Values(Rates{{300}}, Rates{{19200}}, Rates{{9650}}, Rates{{1999}},
                                           // An odd rate must not linger in either direction.
                                           Rates{{9650, 9600}}, Rates{{4850, 19200, 300, 9650}}),
                         [](const auto &info) { return Join(info.param); });

TEST_F(OpenLine, NoRateIsNoSetting)
{
    EXPECT_FALSE(port->WriteSettings(0));  // B0 would hang the line up
    LineRates seen;
    ASSERT_TRUE(ReadLineRates(pty.master(), seen));
    EXPECT_EQ(seen.output, 9600u);
}

}  // namespace
}  // namespace devlink::platform::testing
