// Which memory cell of the transmitter holds which setting, as the memory map file says.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace vilo {

// Every value is kept as the text of the file, cut to this many characters.
inline constexpr std::size_t kMapValueWidth = 5;

// The keys of section "Cmd1Parameters" with their defaults, and those of section "Map"
// (all defaulting to "0"), in the order they are read.
inline constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kCmd1Keys = {{
    {"Rh", "0"}, {"Tmpr", "1"}, {"U", "2"}, {"W", "3"},
}};
inline constexpr std::array<std::string_view, 34> kMapKeys = {
    "add",  "spd",   "NSum",  "err",  "NSensor", "LCDmode", "ZNum", "a0",       "a1",      "a2",    "u0",    "c0",
    "c1",   "c2",    "c3",    "c4",   "c5",      "g1",      "g2",   "w0",       "J1min",   "J1max", "J2min", "J2max",
    "TpH1", "TpH2",  "TpB1",  "TpB2", "Pgas",    "PgasHigh", "PgasLow", "Jcal1", "Jcal2", "Gamma",
};

struct MemoryMap {
    std::map<std::string, std::string, std::less<>> Cmd1Parameters;  // key -> parameter number text
    std::map<std::string, std::string, std::less<>> Map;             // key -> first cell text

    // The first cell of a setting as its text (as requests carry it); "0" when missing.
    std::string Cell(std::string_view key) const;
    // The parameter number of command 1 for a quantity; its default when missing.
    std::string Parameter(std::string_view key) const;
};

}  // namespace vilo
