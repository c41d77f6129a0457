#include "cli/Options.h"

#include "project/NumberText.h"

namespace vilo::cli {

const char *const kUsage = R"(usage: vilo-cli COMMAND [options]

Commands:
  search    [--ports COM1-COM2] [--addresses 1-5] [--baud 9600]
            finds the first transmitter, prints what was found and its settings;
            exit status 0 when one was found, 1 when not
  check     --port COMn --address N [--baud B]
            asks the transmitter to identify itself; 0 when it answers
  read      --port COMn --address N [--baud B] [--save FILE.prj]
            reads the settings and prints them as Key=value lines
  write     --project FILE.prj [--yes]
            writes the project's parameters into its transmitter
  set-link  --port COMn --address N --baud B --new-address N2 --new-baud B2
            gives the transmitter a new bus address and baud rate
  poll      --port COMn --address N [--baud B] [--cycles K] [--csv FILE]
            measures until K cycles are shown or Ctrl-C: one line per cycle with
            time, W code, U code, T, Rh, Td, a, d, ADC code, P (also as CSV);
            0 when ended so, 1 when it stopped on errors or the port failed

Everywhere:
  --project FILE.prj  the device comes from the project; the flags override it
  --port, --address   the device counts as present on that port and address
  --baud B            the baud rate (default 9600)
  --map FILE          the memory map (default: Memory_Map/map.ini beside the program)
  --yes               answer every question with yes
  --help
Error-log lines go to standard error, progress too when it is a terminal.
)";

namespace {

int Number(const std::string &option, const std::string &text) {
    std::int32_t value = 0;
    if (!ParseInt(text, value)) throw UsageError(option + " wants a number, not '" + text + "'");
    return value;
}

// "1-5", "7" or "COM1-COM3".
Range RangeOf(const std::string &option, std::string text, bool ports) {
    auto strip = [&](std::string part) {
        if (ports) {
            if (part.rfind("COM", 0) != 0) throw UsageError(option + " wants ports such as COM1-COM2");
            part = part.substr(3);
        }
        return Number(option, part);
    };
    const auto dash = text.find('-');
    const int first = strip(text.substr(0, dash));
    const int last = dash == std::string::npos ? first : strip(text.substr(dash + 1));
    return {first, last};
}

}  // namespace

Options ParseOptions(const std::vector<std::string> &arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= arguments.size()) throw UsageError(argument + " wants a value");
            return arguments[++i];
        };
        if (argument == "--help" || argument == "-h") options.help = true;
        else if (argument == "--yes" || argument == "-y") options.yes = true;
        else if (argument == "--project") options.project = value();
        else if (argument == "--port") options.port = value();
        else if (argument == "--map") options.map = value();
        else if (argument == "--save") options.save = value();
        else if (argument == "--csv") options.csv = value();
        else if (argument == "--address") options.address = Number(argument, value());
        else if (argument == "--baud") options.baud = Number(argument, value());
        else if (argument == "--new-address") options.newAddress = value();
        else if (argument == "--new-baud") options.newBaud = Number(argument, value());
        else if (argument == "--cycles") options.cycles = Number(argument, value());
        else if (argument == "--ports") options.ports = RangeOf(argument, value(), true);
        else if (argument == "--addresses") options.addresses = RangeOf(argument, value(), false);
        else if (argument.rfind("-", 0) == 0) throw UsageError("unknown option " + argument);
        else if (options.command.empty()) options.command = argument;
        else throw UsageError("unexpected argument " + argument);
    }
    return options;
}

}  // namespace vilo::cli
