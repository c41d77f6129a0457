// Simulated transmitters over real pseudo-terminals, seen from the host.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <functional>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "host_port.h"
#include "vilosim.h"

using namespace simtest;
using vilosim::Fault;
using vilosim::FaultKind;
using vilosim::request;

namespace {

std::string hex_of(float value) {
    static constexpr char digits[] = "0123456789abcdef";
    const auto bits = std::bit_cast<std::uint32_t>(value);
    std::string out;
    for (int i = 0; i < 4; ++i) {
        const auto byte = (bits >> (8 * i)) & 0xFF;
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
    }
    return out;
}

// The payload of an answer "!a;payload;crc\r".
std::string payload_of(const std::string& answer) {
    const auto first = answer.find(';');
    const auto last = answer.rfind(';');
    if (first == std::string::npos || last <= first) return {};
    return answer.substr(first + 1, last - first - 1);
}

std::optional<double> number(const std::string& text) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

// A transmitter with recognisable settings, on the built-in map (add 16,
// spd 17, NSum 18, NSensor 19, LCDmode 20, ZNum 24, TpH1 48, TpH2 52, Pgas 64).
vilosim::DeviceConfig transmitter(int address = 1) {
    vilosim::DeviceConfig d;
    d.address = address;
    d.serial = 0x1234;
    d.sensor = 7;
    d.averaging = 10;
    d.version = "2.31b";
    d.settings.tph1 = 0.1f;
    d.settings.tph2 = -40.0f;
    d.settings.pgas = 250.0f;
    d.settings.lcd_mode = 2;
    d.settings.pressure_keyed = true;
    return d;
}

std::unique_ptr<vilosim::Simulator> started(std::vector<vilosim::LineConfig> lines) {
    auto sim = std::make_unique<vilosim::Simulator>(vilosim::Config{.port_dir = {}, .lines = std::move(lines)});
    sim->start();
    return sim;
}

class OneTransmitter : public ::testing::Test {
protected:
    void SetUp() override {
        sim = started({{.name = "COM1", .devices = {transmitter()}}});
        host = std::make_unique<HostPort>(sim->link_path(0), 9600);
    }

    // The n-th log entry (0-based), once it is there.
    vilosim::LogEntry entry(std::size_t n) {
        EXPECT_TRUE(sim->wait_for_log(0, n + 1, 2000ms)) << "no log entry " << n;
        const auto log = sim->log(0);
        return n < log.size() ? log[n] : vilosim::LogEntry{};
    }

    std::unique_ptr<vilosim::Simulator> sim;
    std::unique_ptr<HostPort> host;
};

TEST_F(OneTransmitter, AnswersEveryCommandExactly) {
    const std::uint8_t around[][2] = {{254, 0x11}, {255, 0x22}, {0, 0x33}, {1, 0x44}};
    for (const auto& c : around) sim->set_cell(0, 0, c[0], c[1]);

    EXPECT_EQ(host->exchange(request("1;0;", true)), "!1;18;15447\r");
    const struct {
        const char* body;
        const char* payload;
    } steps[] = {
        {"1;254;0;", "2.31b"},
        {"1;2;24;", "$0"},    {"1;8;2;", "3412"},      // serial 0x1234, low byte first
        {"1;2;19;", "$0"},    {"1;8;1;", "07"},        // sensor number
        {"1;2;18;", "$0"},    {"1;8;1;", "0a"},        // averagings, lower-case hex
        {"1;2;48;", "$0"},    {"1;8;4;", "cdcccc3d"},  // TpH1 = 0.1f
        {"1;2;64;", "$0"},    {"1;8;4;", "00007a43"},  // Pgas = 250
        {"1;2;17;", "$0"},    {"1;3;1;", "21"},        // speed index 5 (9600) + keyed flag 16
        {"1;2;20;", "$0"},    {"1;8;1;", "02"},        // display mode
        {"1;2;99;", "$0"},    {"1;4;171;", "$0"},      // write one byte ...
        {"1;8;1;", "ab"},     {"1;3;1;", "171"},       // ... and read it back both ways
        {"1;2;254;", "$0"},   {"1;8;4;", "11223344"},  // a 4-byte read wraps past cell 255
        {"1;1;9;", "$3"},     {"1;8;3;", "$3"},        // unknown parameter, bad width
        {"1;2;256;", "$3"},   {"1;254;1;", "$3"},
        {"1;77;", "$4"},                               // unknown command
    };
    bool lead = true;
    for (const auto& s : steps) {
        lead = !lead;  // the library's requests carry a 0xFF lead byte, the program's don't
        EXPECT_EQ(host->exchange(request(s.body, lead)), answer(1, s.payload)) << s.body;
    }
    EXPECT_EQ(sim->cells(0, 0)[99], 171);
}

TEST_F(OneTransmitter, MeasurementPollsAnswerPlausibleNumbers) {
    const struct {
        int parameter;
        double lo, hi;
        bool code;
    } cases[] = {
        {3, 1, 1e6, true},   // W
        {2, 1, 1e6, true},   // U
        {1, 15, 30, false},  // T, °C
        {0, 20, 80, false},  // Rh, %
        {4, 1, 1e6, true},   // pressure channel code
        {5, 95, 106, false}, // P, kPa
    };
    for (const auto& c : cases) {
        const auto text = payload_of(host->exchange(request("1;1;" + std::to_string(c.parameter) + ";")));
        const auto v = number(text);
        ASSERT_TRUE(v) << c.parameter << ": " << text;
        EXPECT_GE(*v, c.lo) << c.parameter;
        EXPECT_LE(*v, c.hi) << c.parameter;
        EXPECT_EQ(text.find('.') == std::string::npos, c.code) << c.parameter << ": " << text;
    }
    sim->set_reading(0, 0, 0, "-1.5");
    EXPECT_EQ(host->exchange(request("1;1;0;")), answer(1, "-1.5"));
    sim->set_reading(0, 0, 0, std::nullopt);
    EXPECT_TRUE(number(payload_of(host->exchange(request("1;1;0;")))));
}

TEST_F(OneTransmitter, SilentToOtherAddressesBadChecksumsAndOtherRates) {
    const struct {
        const char* name;
        std::string bytes;
        int host_rate, device_rate;
    } cases[] = {
        {"other address", request("2;0;"), 9600, 9600},
        {"wrong checksum", ":1;0;50731\r", 9600, 9600},
        {"no start character", "1;0;50730\r", 9600, 9600},
        {"host faster", request("1;0;"), 19200, 9600},
        {"host slower", request("1;0;"), 4800, 9600},
        {"odd device rate", request("1;0;"), 9600, 9650},
    };
    std::size_t n = 0;
    for (const auto& c : cases) {
        sim->set_baud(0, 0, c.device_rate);
        host->set_rate(c.host_rate);
        host->send(c.bytes);
        const auto e = entry(n++);
        EXPECT_EQ(e.request, c.bytes) << c.name;
        EXPECT_EQ(e.host_baud, c.host_rate) << c.name;
        EXPECT_FALSE(e.answered()) << c.name;
        EXPECT_EQ(host->read_for(30ms), "") << c.name;
    }
    // An odd rate is matched exactly when both sides use it.
    host->set_rate(9650);
    EXPECT_EQ(host->exchange(request("1;0;")), answer(1, "18"));
}

TEST_F(OneTransmitter, NewAddressAndSpeedTakeEffectAfterTheirAnswer) {
    EXPECT_EQ(host->exchange(request("1;2;16;")), answer(1, "$0"));
    EXPECT_EQ(host->exchange(request("1;4;9;")), answer(1, "$0"));  // still from the old address
    EXPECT_EQ(sim->address(0, 0), 9);
    host->send(request("1;0;"));
    EXPECT_FALSE(entry(2).answered());
    EXPECT_EQ(host->exchange(request("9;0;")), answer(9, "18"));

    EXPECT_EQ(host->exchange(request("9;2;17;")), answer(9, "$0"));
    EXPECT_EQ(host->exchange(request("9;4;22;")), answer(9, "$0"));  // 19200 keyed, answered at 9600
    EXPECT_EQ(sim->baud(0, 0), 19200);
    host->send(request("9;0;"));
    EXPECT_FALSE(entry(6).answered());
    host->set_rate(19200);
    EXPECT_EQ(host->exchange(request("9;0;")), answer(9, "18"));
    EXPECT_EQ(host->exchange(request("9;3;1;")), answer(9, "22"));

    // An index past the list is stored but leaves the rate alone.
    EXPECT_EQ(host->exchange(request("9;4;13;")), answer(9, "$0"));
    EXPECT_EQ(host->exchange(request("9;0;")), answer(9, "18"));
    EXPECT_EQ(sim->baud(0, 0), 19200);
}

// One step of a read plan fails: the read of cell 48 (TpH1) after its pointer
// was set; the read of another cell and the pointer step itself are untouched,
// and the fault is used up after one request.
TEST_F(OneTransmitter, FaultsCorruptOneStepOfAReadPlan) {
    const std::string normal = answer(1, hex_of(0.1f));
    const auto crc_of = [](const std::string& parcel) {
        const auto last = parcel.rfind(';');
        return std::make_pair(vilosim::crc16(parcel.substr(1, last)), parcel.substr(last + 1, parcel.size() - last - 2));
    };
    using Check = std::function<void(const std::string& got, const vilosim::LogEntry& e)>;
    const struct {
        const char* name;
        Fault fault;
        Check check;
    } cases[] = {
        {"no reply", {.kind = FaultKind::NoReply},
         [&](const std::string& got, const vilosim::LogEntry& e) {
             EXPECT_EQ(got, "");
             EXPECT_FALSE(e.answered());
         }},
        {"bad checksum", {.kind = FaultKind::BadChecksum},
         [&](const std::string& got, const vilosim::LogEntry&) {
             const std::string covered = "1;" + hex_of(0.1f) + ";";
             EXPECT_EQ(got, "!" + covered + std::to_string(static_cast<std::uint16_t>(vilosim::crc16(covered) + 1)) + "\r");
         }},
        {"other address", {.kind = FaultKind::WrongAddress, .address = 7},
         [&](const std::string& got, const vilosim::LogEntry&) { EXPECT_EQ(got, answer(7, hex_of(0.1f))); }},
        {"next address", {.kind = FaultKind::WrongAddress},
         [&](const std::string& got, const vilosim::LogEntry&) { EXPECT_EQ(got, answer(2, hex_of(0.1f))); }},
        {"device error", {.kind = FaultKind::DeviceError, .error = 5},
         [&](const std::string& got, const vilosim::LogEntry&) { EXPECT_EQ(got, answer(1, "$5")); }},
        {"garbage", {.kind = FaultKind::Garbage, .garbage = "z\xFFz"},
         [&](const std::string& got, const vilosim::LogEntry& e) {
             EXPECT_EQ(got, "z\xFFz" + normal);
             EXPECT_EQ(e.answer, got);
         }},
        {"oversize", {.kind = FaultKind::Oversize, .length = 300},
         [&](const std::string& got, const vilosim::LogEntry&) {
             ASSERT_EQ(got.size(), 300u);
             EXPECT_TRUE(got.starts_with("!1;" + hex_of(0.1f)));
             const auto [crc, field] = crc_of(got);
             EXPECT_EQ(std::to_string(crc), field);  // well-formed, just too long
         }},
        {"trickle", {.kind = FaultKind::Trickle, .pause = 15ms},
         [&](const std::string& got, const vilosim::LogEntry&) {
             EXPECT_EQ(got, normal);
             EXPECT_GE(host->last_byte() - host->last_send(), (normal.size() - 1) * 15ms);
         }},
        {"delay", {.kind = FaultKind::Delay, .delay = 150ms},
         [&](const std::string& got, const vilosim::LogEntry& e) {
             EXPECT_EQ(got, normal);
             EXPECT_GE(host->first_byte() - host->last_send(), 150ms);
             EXPECT_GE(e.answer_start - e.complete, 150ms);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim->clear_log(0);
        Fault f = c.fault;
        f.command = 8;
        f.cell = 48;
        f.times = 1;
        sim->add_fault(0, 0, f);
        EXPECT_EQ(host->exchange(request("1;2;52;")), answer(1, "$0"));
        EXPECT_EQ(host->exchange(request("1;8;4;")), answer(1, hex_of(-40.0f)));
        EXPECT_EQ(host->exchange(request("1;2;48;")), answer(1, "$0"));
        host->send(request("1;8;4;"));
        const auto e = entry(3);
        c.check(host->read_answer(e.answered() ? 2000ms : 30ms), e);
        EXPECT_EQ(host->exchange(request("1;8;4;")), normal);
    }
}

TEST_F(OneTransmitter, LostAndRefusedWritesAreNotCarriedOut) {
    const struct {
        FaultKind kind;
        bool stored;
    } cases[] = {{FaultKind::NoReply, false},
                 {FaultKind::DeviceError, false},
                 {FaultKind::BadChecksum, true},
                 {FaultKind::Garbage, true}};
    for (const auto& c : cases) {
        sim->clear_log(0);
        sim->set_cell(0, 0, 99, 0);
        EXPECT_EQ(host->exchange(request("1;2;99;")), answer(1, "$0"));
        sim->add_fault(0, 0, {.kind = c.kind, .command = 4, .times = 1});
        host->send(request("1;4;55;"));
        entry(1);
        host->read_for(30ms);
        EXPECT_EQ(sim->cells(0, 0)[99], c.stored ? 55 : 0) << static_cast<int>(c.kind);
    }
}

TEST_F(OneTransmitter, FaultFiltersCountsAndClearing) {
    // Always, for one parameter of command 1 only.
    sim->add_fault(0, 0, {.kind = FaultKind::DeviceError, .command = 1, .parameter = 5, .error = 6});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(host->exchange(request("1;1;5;")), answer(1, "$6"));
    EXPECT_TRUE(number(payload_of(host->exchange(request("1;1;4;")))));
    EXPECT_EQ(host->exchange(request("1;0;")), answer(1, "18"));

    // The next two identifications go unanswered, the third is answered.
    sim->clear_log(0);
    sim->add_fault(0, 0, {.kind = FaultKind::NoReply, .command = 0, .times = 2});
    for (std::size_t i = 0; i < 2; ++i) {
        host->send(request("1;0;"));
        EXPECT_FALSE(entry(i).answered());
    }
    EXPECT_EQ(host->exchange(request("1;0;")), answer(1, "18"));

    sim->clear_faults(0, 0);
    EXPECT_TRUE(number(payload_of(host->exchange(request("1;1;5;")))));
}

TEST_F(OneTransmitter, LogKeepsExactBytesAndTimes) {
    const std::string a = request("1;0;", true);
    const std::string got = host->exchange(a);
    const auto sent_a = host->last_send(), read_a = host->last_byte();
    std::this_thread::sleep_for(30ms);  // the pause the log must show

    // One request written in two pieces is one entry.
    const std::string b = request("1;2;40;");
    host->send(b.substr(0, 4));
    const auto sent_b = host->last_send();
    std::this_thread::sleep_for(20ms);
    host->send(b.substr(4));
    const auto sent_rest = host->last_send();
    EXPECT_EQ(host->read_answer(), answer(1, "$0"));

    ASSERT_TRUE(sim->wait_for_log(0, 2, 1000ms));
    const auto log = sim->log(0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].request, a);
    EXPECT_EQ(log[0].answer, got);
    EXPECT_EQ(log[0].host_baud, 9600);
    EXPECT_LE(sent_a, log[0].first_byte);
    EXPECT_LE(log[0].first_byte, log[0].complete);
    EXPECT_LE(log[0].complete, log[0].answer_start);
    EXPECT_LE(log[0].answer_start, log[0].answer_end);
    EXPECT_LE(log[0].answer_end, read_a);
    EXPECT_EQ(log[1].request, b);
    EXPECT_LE(sent_b, log[1].first_byte);
    EXPECT_LE(sent_rest, log[1].complete);
    EXPECT_GE(log[1].first_byte - log[0].answer_end, 30ms);

    EXPECT_EQ(sim->take_log(0).size(), 2u);
    EXPECT_TRUE(sim->log(0).empty());
}

TEST(Faults, HangUpEndsTheLineForGood) {
    for (const std::size_t bytes : {0u, 4u, 1000u}) {  // nothing, part, all of the answer
        SCOPED_TRACE(bytes);
        auto sim = started({{.name = "COM1", .devices = {transmitter()}}});
        HostPort host(sim->link_path(0), 9600);
        EXPECT_EQ(host.exchange(request("1;2;48;")), answer(1, "$0"));
        sim->add_fault(0, 0, {.kind = FaultKind::HangUp, .command = 8, .bytes = bytes});
        host.send(request("1;8;4;"));
        EXPECT_EQ(host.read_for(2000ms), answer(1, hex_of(0.1f)).substr(0, bytes));
        EXPECT_TRUE(host.wait_hangup());
        EXPECT_TRUE(sim->hung_up(0));
        ASSERT_TRUE(sim->wait_for_log(0, 2, 1000ms));
        EXPECT_EQ(sim->log(0)[1].answer, answer(1, hex_of(0.1f)).substr(0, bytes));
        EXPECT_THROW(HostPort(sim->link_path(0), 9600), std::system_error);
    }
}

TEST(WireTime, RequestAndAnswerTakeTenBitTimesPerByte) {
    auto d = transmitter();
    d.baud = 2400;
    d.wire_time = true;
    d.latency = 40ms;
    auto sim = started({{.name = "COM1", .devices = {d}}});
    HostPort host(sim->link_path(0), 2400);
    const std::string req = request("1;0;");
    const std::string expected = answer(1, "18");
    EXPECT_EQ(host.exchange(req), expected);
    const auto byte = std::chrono::nanoseconds(10'000'000'000LL / 2400);
    // Lower bounds only: the request must have arrived, the latency passed and
    // every answer byte taken its time.
    EXPECT_GE(host.first_byte() - host.last_send(), static_cast<long>(req.size() + 1) * byte + 40ms);
    EXPECT_GE(host.last_byte() - host.last_send(), static_cast<long>(req.size() + expected.size()) * byte + 40ms);
}

TEST(Lines, DevicesAnswerOnlyOnTheirLineAndAddress) {
    auto d2 = transmitter(2), d4 = transmitter(4), other = transmitter(2);
    d2.serial = 100;
    d4.serial = 200;
    d4.identification = "34";
    other.serial = 300;
    auto sim = started({{.name = "COM1", .devices = {d2, d4}}, {.name = "COM2", .devices = {other}}});
    HostPort com1(sim->link_path(0), 9600), com2(sim->link_path(1), 9600);

    EXPECT_EQ(com1.exchange(request("2;0;")), answer(2, "18"));
    EXPECT_EQ(com1.exchange(request("4;0;")), answer(4, "34"));
    com1.send(request("3;0;"));
    ASSERT_TRUE(sim->wait_for_log(0, 3, 1000ms));
    EXPECT_FALSE(sim->log(0)[2].answered());

    // Each device keeps its own pointer.
    EXPECT_EQ(com1.exchange(request("2;2;24;")), answer(2, "$0"));
    EXPECT_EQ(com1.exchange(request("4;2;19;")), answer(4, "$0"));
    EXPECT_EQ(com1.exchange(request("2;8;2;")), answer(2, "6400"));
    EXPECT_EQ(com1.exchange(request("4;8;1;")), answer(4, "07"));
    EXPECT_EQ(com2.exchange(request("2;2;24;")), answer(2, "$0"));
    EXPECT_EQ(com2.exchange(request("2;8;2;")), answer(2, "2c01"));
    EXPECT_EQ(sim->log(1).size(), 2u);
}

TEST(Lines, DeviceFollowsItsMemoryMap) {
    auto d = transmitter(5);
    d.map = vilosim::MemoryMap::parse(
        "[Cmd1Parameters]\nRh=7\nTmpr=8\nU=9\nW=10\n"
        "[Map]\nadd=200\nspd=201\nZNum=254\nJ1min=100\nGamma=248\n");
    d.serial = 0xBEEF;
    d.settings.j1min = 1.0f;
    d.settings.gamma = -2.5f;
    auto sim = started({{.name = "COM1", .devices = {d}}});
    const auto cells = sim->cells(0, 0);
    EXPECT_EQ(cells[254], 0xEF);
    EXPECT_EQ(cells[255], 0xBE);
    EXPECT_EQ(cells[200], 5);
    EXPECT_EQ(cells[201], 5 | 16);
    EXPECT_EQ((std::array<std::uint8_t, 4>{cells[100], cells[101], cells[102], cells[103]}),
              (std::array<std::uint8_t, 4>{0x00, 0x00, 0x80, 0x3F}));

    HostPort host(sim->link_path(0), 9600);
    EXPECT_EQ(host.exchange(request("5;2;248;")), answer(5, "$0"));
    EXPECT_EQ(host.exchange(request("5;8;4;")), answer(5, hex_of(-2.5f)));
    const auto rh = number(payload_of(host.exchange(request("5;1;7;"))));
    ASSERT_TRUE(rh);
    EXPECT_GE(*rh, 20);
    EXPECT_LE(*rh, 80);
    EXPECT_EQ(host.exchange(request("5;1;0;")), answer(5, "$3"));  // 0 is no parameter on this map
    EXPECT_EQ(host.exchange(request("5;2;200;")), answer(5, "$0"));
    EXPECT_EQ(host.exchange(request("5;4;6;")), answer(5, "$0"));
    EXPECT_EQ(host.exchange(request("6;0;")), answer(6, "18"));
}

TEST(Lifecycle, PublishesLinksSurvivesReopeningAndCleansUp) {
    auto sim = started({{.name = "COM1", .devices = {transmitter()}}});
    const auto dir = sim->port_dir();
    const auto link = sim->link_path(0);
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), sim->tty_path(0));
    for (int round = 0; round < 3; ++round) {
        HostPort host(link, 9600);
        EXPECT_EQ(host.exchange(request("1;0;")), answer(1, "18")) << round;
        EXPECT_THROW(HostPort(link, 9600), std::system_error);  // held by the first opener
    }
    EXPECT_THROW(sim->start(), std::logic_error);
    sim->stop();
    EXPECT_FALSE(std::filesystem::exists(link));
    EXPECT_FALSE(std::filesystem::exists(dir));

    // A given directory is made when missing and kept; only the link goes.
    const auto given = std::filesystem::path(dir.string() + "-given") / "ports";
    {
        vilosim::Simulator named({.port_dir = given, .lines = {{.name = "COM7", .devices = {transmitter()}}}});
        named.start();
        HostPort host(given / "COM7", 9600);
        EXPECT_EQ(host.exchange(request("1;0;")), answer(1, "18"));
    }
    EXPECT_TRUE(std::filesystem::is_directory(given));
    EXPECT_FALSE(std::filesystem::exists(given / "COM7"));
    std::filesystem::remove_all(given.parent_path());

    EXPECT_THROW(vilosim::Simulator({.port_dir = {}, .lines = {{.name = "COM1"}, {.name = "COM1"}}}),
                 std::invalid_argument);
}

}  // namespace
