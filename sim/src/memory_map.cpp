// The memory map file: a small INI reader and the layout it describes.
#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "protocol.h"
#include "vilosim.h"

namespace vilosim {
namespace detail {
extern const std::string_view kBuiltinMapText;
}

namespace {

// Keys the transmitter uses; a value there must be a number.
constexpr std::array<std::string_view, 20> kUsedCells{
    "add",   "spd",   "nsum",  "nsensor", "lcdmode", "znum", "j1min",    "j1max",   "j2min", "j2max",
    "tph1",  "tph2",  "tpb1",  "tpb2",    "pgas",    "pgashigh", "pgaslow", "jcal1", "jcal2", "gamma"};
constexpr std::array<std::string_view, 4> kUsedParameters{"rh", "tmpr", "u", "w"};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim(std::string_view s) {
    constexpr std::string_view blanks = " \t\r\n";
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(blanks);
    return s.substr(b, e - b + 1);
}

using Section = std::map<std::string, std::string, std::less<>>;

void store(const Section& raw, std::map<std::string, int, std::less<>>& into, long long max,
           const auto& used, std::string_view section) {
    for (const auto& [key, value] : raw) {
        const auto v = proto::parse_decimal(value);
        const bool ok = v && *v <= max;
        if (ok) {
            into.emplace(key, static_cast<int>(*v));
        } else if (std::find(used.begin(), used.end(), key) != used.end()) {
            throw std::invalid_argument("memory map: [" + std::string(section) + "] " + key + "=" + value +
                                        " is not a number from 0 to " + proto::decimal(max));
        }
    }
}

}  // namespace

int MemoryMap::cell(std::string_view key) const {
    const auto it = cells.find(lower(key));
    return it == cells.end() ? 0 : it->second;
}

int MemoryMap::parameter(std::string_view key) const {
    const std::string k = lower(key);
    if (const auto it = parameters.find(k); it != parameters.end()) return it->second;
    if (k == "rh") return 0;
    if (k == "tmpr") return 1;
    if (k == "u") return 2;
    if (k == "w") return 3;
    return -1;
}

MemoryMap MemoryMap::parse(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::map<std::string, Section, std::less<>> raw;
    std::string section;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        const std::string_view line = trim(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close != std::string_view::npos) section = lower(trim(line.substr(1, close - 1)));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = lower(trim(line.substr(0, eq)));
        // The program keeps the first 5 characters of a value; so does the device.
        const std::string_view value = trim(trim(line.substr(eq + 1)).substr(0, 5));
        raw[section].emplace(key, std::string(value));  // the first of repeated keys wins
    }
    MemoryMap map;
    store(raw["map"], map.cells, 255, kUsedCells, "Map");
    store(raw["cmd1parameters"], map.parameters, 65535, kUsedParameters, "Cmd1Parameters");
    return map;
}

MemoryMap MemoryMap::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("memory map: cannot read " + file.string());
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

const MemoryMap& MemoryMap::builtin() {
    static const MemoryMap map = parse(detail::kBuiltinMapText);
    return map;
}

}  // namespace vilosim
