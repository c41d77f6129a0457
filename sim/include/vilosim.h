// vilosim: simulated ВИЛО-10 transmitters on pseudo-terminals.
//
// A Simulator publishes one or more lines, each a pseudo-terminal linked as
// <port dir>/COMn, with any number of transmitters on it. Each transmitter
// keeps 256 one-byte memory cells laid out by a memory map, answers the
// parcel protocol from its own bus address, and stays silent to other
// addresses, to requests with a wrong checksum and while the host's port runs
// at a baud rate other than its own. Every request is logged with time
// stamps, and faults can be injected per device, command and cell.
//
// Typical use in a test:
//
//   vilosim::Config cfg;
//   cfg.lines.push_back({.name = "COM1", .devices = {{.address = 1}}});
//   vilosim::Simulator sim(cfg);
//   sim.start();                                  // links exist, threads run
//   setenv("DEVLINK_PORT_DIR", sim.port_dir().c_str(), 1);
//   ... exchange over COM1 ...
//   ASSERT_TRUE(sim.wait_for_log(0, 1, std::chrono::seconds(1)));
//   auto entries = sim.log(0);
//
// All member functions of Simulator are thread-safe. Lines and devices are
// addressed by their index in the Config (std::out_of_range otherwise).
//
// Answers (payloads) a transmitter gives:
//   0                 its identification ("18" or "34")
//   254 with 0        its version text
//   2 with a cell     "$0"; the memory pointer is set to the cell
//   8 with n=1,2,4    2n lower-case hex digits: n cells from the pointer,
//                     least significant first (cell numbers wrap at 256)
//   3 with n=1,2,4    the same value in decimal
//   4 with a byte     "$0"; the byte is stored at the pointer; when that is
//                     the map's add or spd cell the new address or rate
//                     (index in bits 0-3 into kSpeedList; an index past the
//                     list leaves the rate) takes effect after the answer
//   1 with a number   the reading: the map's Cmd1Parameters W, U (integer
//                     codes), Tmpr, Rh (two decimals); 4 the pressure code,
//                     5 the pressure in kPa
//   a bad argument    "$3" (also a parameter number it does not know)
//   another command   "$4"
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vilosim {

using Clock = std::chrono::steady_clock;

// The baud rates a speed cell can select: index 0..7 in bits 0 to 3.
inline constexpr std::array<int, 8> kSpeedList{300, 600, 1200, 2400, 4800, 9600, 19200, 115200};

// Memory map of a transmitter: the first cell of each setting ([Map]) and the
// parameter numbers of command 1 ([Cmd1Parameters]). Keys are kept in lower
// case and looked up case-insensitively.
struct MemoryMap {
    std::map<std::string, int, std::less<>> cells{};
    std::map<std::string, int, std::less<>> parameters{};

    // First cell of a [Map] key; a missing key means cell 0.
    int cell(std::string_view key) const;
    // Parameter number of a [Cmd1Parameters] key; a missing key takes its
    // default (Rh 0, Tmpr 1, U 2, W 3; any other key -1).
    int parameter(std::string_view key) const;

    // Parses INI text: [sections] and key=value lines, case-insensitive,
    // ";" comment lines, values trimmed and cut to 5 characters. Throws
    // std::invalid_argument when a key the transmitter uses holds no number
    // in range (cells 0..255, parameters 0..65535).
    static MemoryMap parse(std::string_view text);
    // Reads and parses a file; throws std::runtime_error when it cannot be read.
    static MemoryMap load(const std::filesystem::path& file);
    // The layout of the shipped Memory_Map/map.ini.
    static const MemoryMap& builtin();

    bool operator==(const MemoryMap&) const = default;
};

// One set of readings of a transmitter.
struct Reading {
    double temperature = 0;     // T, °C (about 15..30)
    double humidity = 0;        // Rh, % (about 20..80)
    double pressure = 0;        // P, kPa (about 100)
    int temperature_code = 0;   // W, ADC code of the temperature channel
    int humidity_code = 0;      // U, ADC code of the humidity channel
    int pressure_code = 0;      // ADC code of the pressure channel
};

// Slowly changing, plausible readings as a pure function of the time since
// the transmitter started; the same seed gives the same readings.
class ReadingModel {
public:
    explicit ReadingModel(std::uint64_t seed = 1);
    Reading at(double seconds) const;

private:
    std::array<double, 6> phase_{};
    std::uint64_t seed_;
};

// Settings held in the cells, written there per the map at start.
struct DeviceSettings {
    float j1min = -60.0f, j1max = 20.0f;   // range ends of output 1
    float j2min = -40.0f, j2max = 60.0f;   // range ends of output 2
    float tph1 = -60.0f, tpb1 = 20.0f;     // channel 1 lower and upper limits
    float tph2 = -40.0f, tpb2 = 60.0f;     // channel 2 lower and upper limits
    float pgas = 101.325f;                 // gas pressure, kPa
    float pgas_high = 1000.0f, pgas_low = 0.0f;
    float gamma = 1.0f;
    std::uint8_t lcd_mode = 0;             // 0 channel 1, 1 channel 2, 2 alternating
    std::uint8_t jcal1 = 0, jcal2 = 4;     // measured quantity index of channels 1, 2
    bool pressure_keyed = false;           // bit 4 of the speed cell
};

struct DeviceConfig {
    int address = 1;                       // bus address 0..255 (also cell add)
    int baud = 9600;                       // the device's rate; a rate of kSpeedList
                                           // also sets the speed cell's index,
                                           // another one (such as 9650) sets index 15
    std::string identification = "18";    // answer to command 0
    std::uint16_t serial = 1;              // factory serial number (cell ZNum, 2 bytes LE)
    std::uint8_t sensor = 1;               // sensor number (cell NSensor)
    std::string version = "1.0";           // answer to command 254 with "0"
    std::uint8_t averaging = 8;            // hardware averagings (cell NSum)
    DeviceSettings settings;
    MemoryMap map = MemoryMap::builtin();
    std::uint64_t seed = 1;                // readings
    std::chrono::milliseconds latency{0};  // pause between a request and its answer
    bool wire_time = false;                // ten bit times per byte at the device's
                                           // rate, for the request and the answer
};

struct LineConfig {
    std::string name = "COM1";             // link name in the port directory
    std::vector<DeviceConfig> devices{};
};

struct Config {
    std::filesystem::path port_dir{};      // empty: a fresh temporary directory,
                                           // removed again on stop
    std::vector<LineConfig> lines{};
};

enum class FaultKind {
    NoReply,       // the request is lost: not carried out, no answer
    BadChecksum,   // the answer's checksum is one off
    WrongAddress,  // the answer names another address (Fault::address)
    DeviceError,   // not carried out; the payload is "$N" (Fault::error)
    Garbage,       // Fault::garbage is written before the "!"
    Trickle,       // Fault::pause between the answer's bytes
    Oversize,      // the answer is padded to Fault::length bytes from "!" to CR
    Delay,         // Fault::delay more before the answer
    HangUp,        // after Fault::bytes bytes of the answer, once the host has
                   // read them, the line hangs up: the host sees POLLHUP, EOF
                   // and EIO; the link is removed and the line stays dead
};

// A fault applies to the requests of its device that match all the given
// filters and that the device would answer (its address, right checksum,
// right baud rate). Several matching faults combine; each uses up one of its
// times. Apart from NoReply and DeviceError the request is carried out.
struct Fault {
    FaultKind kind = FaultKind::NoReply;
    std::optional<int> command{};          // only this command
    std::optional<int> cell{};             // only requests about this cell: the
                                           // argument of 2, the pointer for 3, 4, 8
    std::optional<int> parameter{};        // only command 1 with this parameter
    std::optional<unsigned> times{};       // the next N matching requests; empty: all
    int error = 0;                         // DeviceError
    int address = -1;                      // WrongAddress; -1: own address + 1
    std::string garbage = "xx";            // Garbage
    std::chrono::milliseconds pause{10};   // Trickle
    std::chrono::milliseconds delay{0};    // Delay
    std::size_t length = 300;              // Oversize
    std::size_t bytes = 0;                 // HangUp
};

// One request as the line received it and what was written back.
// An entry is in the log before the last byte of its answer is written (and
// before the line hangs up), so a host that has read an answer finds its
// entry already there; for a request left unanswered, wait_for_log.
struct LogEntry {
    std::string request{};                 // exact bytes, lead byte and noise
                                           // included, through CR
    Clock::time_point first_byte{};        // its first byte was read
    Clock::time_point complete{};          // its CR was read
    int host_baud = 0;                     // the host's rate then (0: unknown)
    std::string answer{};                  // bytes written back; empty: none
    Clock::time_point answer_start{};      // first answer byte written
    Clock::time_point answer_end{};        // last answer byte written

    bool answered() const { return !answer.empty(); }
};

class Simulator {
public:
    explicit Simulator(Config config);     // validates; starts nothing
    ~Simulator();                          // stop()
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pseudo-terminals, publishes the links and starts one service
    // thread per line; when it returns the lines answer. Once only.
    // Throws std::system_error, or std::logic_error when called again.
    void start();
    // Stops the threads, closes the lines, removes the links (and the port
    // directory when it was made by start). Idempotent.
    void stop();

    const std::filesystem::path& port_dir() const;   // valid after start
    std::size_t line_count() const;
    std::string line_name(std::size_t line) const;
    std::filesystem::path link_path(std::size_t line) const;  // port_dir/name
    std::string tty_path(std::size_t line) const;             // /dev/pts/N
    bool hung_up(std::size_t line) const;

    std::vector<LogEntry> log(std::size_t line) const;
    // Waits until the line's log holds at least count entries.
    bool wait_for_log(std::size_t line, std::size_t count,
                      std::chrono::milliseconds timeout) const;
    void clear_log(std::size_t line);
    // Hands over the entries so far and empties the log, in one step.
    std::vector<LogEntry> take_log(std::size_t line);

    void add_fault(std::size_t line, std::size_t device, Fault fault);
    void clear_faults(std::size_t line, std::size_t device);

    // Cells as they are now; set_cell writes one cell as it stands, without
    // the side effects of command 4 (use set_address / set_baud for those).
    std::array<std::uint8_t, 256> cells(std::size_t line, std::size_t device) const;
    void set_cell(std::size_t line, std::size_t device, int cell, std::uint8_t value);
    int address(std::size_t line, std::size_t device) const;
    void set_address(std::size_t line, std::size_t device, int address);   // and cell add
    int baud(std::size_t line, std::size_t device) const;
    void set_baud(std::size_t line, std::size_t device, int baud);          // and cell spd
    // Fixes the payload of command 1 for a parameter (any text, such as "-1.5"
    // or "$0"); nullopt returns it to the readings.
    void set_reading(std::size_t line, std::size_t device, int parameter,
                     std::optional<std::string> payload);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// CRC-16/MODBUS as the parcels carry it (covering the text after ":" or "!"
// through the last ";"), for building requests in tests.
std::uint16_t crc16(std::string_view bytes);
// ":" + body + checksum + CR, with a 0xFF lead byte when lead is true.
// Example: request("1;0;") == ":1;0;50730\r".
std::string request(std::string_view body, bool lead = false);

}  // namespace vilosim
