// vilo-sim: simulated ВИЛО-10 transmitters on pseudo-terminals, for demos and
// scripts. Prints one line per published port ("COM1 /dev/pts/7"), then
// "READY <port dir>", and runs until SIGINT, SIGTERM or SIGHUP, or until its
// standard input ends.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "vilosim.h"

namespace {

constexpr const char* kUsage = R"(usage: vilo-sim [options]

Publishes simulated VILO-10 transmitters on pseudo-terminals as COMn links.
Prints "COMn <tty>" for each line, then "READY <port dir>"; set
DEVLINK_PORT_DIR to that directory. Runs until SIGINT/SIGTERM/SIGHUP or until
standard input ends (standard input on /dev/null is not watched).

options:
  --port-dir DIR   publish the links in DIR (made if missing); default: a
                   fresh temporary directory, removed on exit
  --map FILE       memory map; default: Memory_Map/map.ini beside the
                   program, else the built-in layout (the same numbers)
  --line NAME      start another line (COM1, COM2, ...); the --device
                   options that follow go on it
  --device KEYS    add a transmitter to the current line (COM1 when no
                   --line came first); KEYS is key=value[,key=value...]:
                     addr baud id serial sensor version nsum seed
                     latency (ms) wire (0/1) lcd jcal1 jcal2 keyed (0/1)
                     j1min j1max j2min j2max tph1 tph2 tpb1 tpb2
                     pgas pgashigh pgaslow gamma
                   without any --device: COM1 with addr=1,baud=9600
  --wire-time      default for all devices: ten bit times per byte
  --latency MS     default for all devices: reply latency
  --trace          write every request and answer to standard error
  --ignore-stdin   do not stop when standard input ends
  --help
)";

struct UsageError {
    std::string text;
};

template <class T>
T number(std::string_view key, std::string_view text) {
    T v{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        throw UsageError{"bad value for " + std::string(key) + ": '" + std::string(text) + "'"};
    return v;
}

template <class T>
T ranged(std::string_view key, std::string_view text, long long lo, long long hi) {
    const auto v = number<long long>(key, text);
    if (v < lo || v > hi) throw UsageError{std::string(key) + " must be " + std::to_string(lo) + ".." + std::to_string(hi)};
    return static_cast<T>(v);
}

void apply(vilosim::DeviceConfig& d, std::string_view key, std::string_view value) {
    auto& s = d.settings;
    const auto flt = [&](float& f) { f = number<float>(key, value); };
    if (key == "addr") d.address = ranged<int>(key, value, 0, 255);
    else if (key == "baud") d.baud = ranged<int>(key, value, 1, 4'000'000);
    else if (key == "id") d.identification = value;
    else if (key == "serial") d.serial = ranged<std::uint16_t>(key, value, 0, 65535);
    else if (key == "sensor") d.sensor = ranged<std::uint8_t>(key, value, 0, 255);
    else if (key == "version") d.version = value;
    else if (key == "nsum") d.averaging = ranged<std::uint8_t>(key, value, 0, 255);
    else if (key == "seed") d.seed = number<std::uint64_t>(key, value);
    else if (key == "latency") d.latency = std::chrono::milliseconds(ranged<int>(key, value, 0, 600'000));
    else if (key == "wire") d.wire_time = ranged<int>(key, value, 0, 1) == 1;
    else if (key == "lcd") s.lcd_mode = ranged<std::uint8_t>(key, value, 0, 255);
    else if (key == "jcal1") s.jcal1 = ranged<std::uint8_t>(key, value, 0, 255);
    else if (key == "jcal2") s.jcal2 = ranged<std::uint8_t>(key, value, 0, 255);
    else if (key == "keyed") s.pressure_keyed = ranged<int>(key, value, 0, 1) == 1;
    else if (key == "j1min") flt(s.j1min);
    else if (key == "j1max") flt(s.j1max);
    else if (key == "j2min") flt(s.j2min);
    else if (key == "j2max") flt(s.j2max);
    else if (key == "tph1") flt(s.tph1);
    else if (key == "tph2") flt(s.tph2);
    else if (key == "tpb1") flt(s.tpb1);
    else if (key == "tpb2") flt(s.tpb2);
    else if (key == "pgas") flt(s.pgas);
    else if (key == "pgashigh") flt(s.pgas_high);
    else if (key == "pgaslow") flt(s.pgas_low);
    else if (key == "gamma") flt(s.gamma);
    else throw UsageError{"unknown device key '" + std::string(key) + "'"};
}

std::string shown(std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c >= 0x20 && c < 0x7F && c != '\\') out.push_back(static_cast<char>(c));
        else {
            out += "\\x";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

bool stdin_is_dev_null() {
    struct stat in {}, null {};
    return ::fstat(0, &in) == 0 && ::stat("/dev/null", &null) == 0 && S_ISCHR(in.st_mode) &&
           in.st_rdev == null.st_rdev;
}

std::filesystem::path program_dir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path{} : exe.parent_path();
}

struct Options {
    vilosim::Config config;
    std::optional<std::filesystem::path> map;
    bool ignore_stdin = false;
    bool trace = false;
};

Options parse(int argc, char** argv) {
    Options o;
    struct Pending {
        std::string line;
        std::string keys;
    };
    std::vector<std::string> lines;
    std::vector<Pending> devices;
    bool wire = false;
    std::chrono::milliseconds latency{0};
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        const auto value = [&]() -> std::string_view {
            if (i + 1 >= argc) throw UsageError{std::string(a) + " needs a value"};
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--port-dir") o.config.port_dir = value();
        else if (a == "--map") o.map = value();
        else if (a == "--line") lines.emplace_back(value());
        else if (a == "--device") {
            if (lines.empty()) lines.emplace_back("COM1");
            devices.push_back({lines.back(), std::string(value())});
        } else if (a == "--wire-time") wire = true;
        else if (a == "--latency") latency = std::chrono::milliseconds(ranged<int>("--latency", value(), 0, 600'000));
        else if (a == "--trace") o.trace = true;
        else if (a == "--ignore-stdin") o.ignore_stdin = true;
        else throw UsageError{"unknown option '" + std::string(a) + "'"};
    }

    vilosim::MemoryMap map = vilosim::MemoryMap::builtin();
    if (o.map) {
        map = vilosim::MemoryMap::load(*o.map);
    } else if (const auto beside = program_dir() / "Memory_Map" / "map.ini"; std::filesystem::exists(beside)) {
        map = vilosim::MemoryMap::load(beside);
    }

    if (lines.empty()) {
        lines.emplace_back("COM1");
        devices.push_back({"COM1", ""});
    }
    for (const auto& name : lines) {
        bool known = false;
        for (const auto& l : o.config.lines) known = known || l.name == name;
        if (!known) o.config.lines.push_back({.name = name, .devices = {}});
    }
    for (const auto& p : devices) {
        vilosim::DeviceConfig d;
        d.map = map;
        d.wire_time = wire;
        d.latency = latency;
        std::string_view rest = p.keys;
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            const std::string_view item = rest.substr(0, comma);
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
            if (item.empty()) continue;
            const auto eq = item.find('=');
            if (eq == std::string_view::npos) throw UsageError{"device key without value: '" + std::string(item) + "'"};
            apply(d, item.substr(0, eq), item.substr(eq + 1));
        }
        for (auto& l : o.config.lines)
            if (l.name == p.line) l.devices.push_back(std::move(d));
    }
    return o;
}

// Hands the log over (so a long run keeps no history) and shows it when asked.
void drain(vilosim::Simulator& sim, bool trace) {
    for (std::size_t l = 0; l < sim.line_count(); ++l) {
        for (const auto& e : sim.take_log(l)) {
            if (!trace) continue;
            std::cerr << sim.line_name(l) << " < " << shown(e.request) << "  > "
                      << (e.answered() ? shown(e.answer) : std::string("(no answer)")) << '\n';
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parse(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "vilo-sim: " << e.text << "\n(see vilo-sim --help)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "vilo-sim: " << e.what() << '\n';
        return 1;
    }

    // The service threads inherit this mask, so the signals reach signalfd only.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const int sig_fd = ::signalfd(-1, &stop_signals, SFD_CLOEXEC);
    if (sig_fd < 0) {
        std::perror("vilo-sim: signalfd");
        return 1;
    }

    try {
        vilosim::Simulator sim(options.config);
        sim.start();
        for (std::size_t l = 0; l < sim.line_count(); ++l)
            std::cout << sim.line_name(l) << ' ' << sim.tty_path(l) << '\n';
        std::cout << "READY " << sim.port_dir().string() << std::endl;

        const bool watch_stdin = !options.ignore_stdin && !stdin_is_dev_null();
        for (;;) {
            pollfd fds[2] = {{sig_fd, POLLIN, 0}, {watch_stdin ? 0 : -1, POLLIN, 0}};
            const int n = ::poll(fds, 2, options.trace ? 100 : 1000);
            drain(sim, options.trace);
            if (n < 0 && errno != EINTR) break;
            if (fds[0].revents != 0) break;
            if (fds[1].revents != 0) {
                char buf[256];
                const ssize_t got = ::read(0, buf, sizeof buf);
                if (got <= 0) break;  // end of input: the caller wants us gone
            }
        }
        sim.stop();
        drain(sim, options.trace);
    } catch (const std::exception& e) {
        std::cerr << "vilo-sim: " << e.what() << '\n';
        return 1;
    }
    ::close(sig_fd);
    return 0;
}
