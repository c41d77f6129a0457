// The command line of vilo-cli.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vilo::cli {

struct Range {
    int first = 0, last = 0;
};

struct Options {
    std::string command;
    std::optional<std::string> project, port, map, save;
    std::optional<int> address, baud;
    std::optional<Range> ports, addresses;
    std::optional<std::string> newAddress;
    std::optional<int> newBaud;
    std::optional<int> cycles;
    std::optional<std::string> csv;
    bool yes = false;
    bool help = false;
};

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name; throws UsageError for anything it cannot use.
Options ParseOptions(const std::vector<std::string> &arguments);

extern const char *const kUsage;

}  // namespace vilo::cli
