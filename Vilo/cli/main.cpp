// vilo-cli: the console front end over the program's operations, for scripts and for
// machines without a display.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/ConsoleView.h"
#include "cli/Options.h"
#include "cli/Poll.h"
#include "comm/DeviceSearch.h"
#include "comm/ReadSettings.h"
#include "comm/ThreadS.h"
#include "project/Files.h"
#include "project/NumberText.h"
#include "project/Program.h"

namespace vilo::cli {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageFailure = 2;
constexpr const char *kWriteSucceeded = "Цикл записи успешно завершён.";

std::string Flag(bool value) { return value ? "-1" : "0"; }

// Every setting of the record, with the project file's keys and value forms.
std::vector<std::string> SettingsLines(const TDevice &d) {
    return {
        "ParentPort=" + d.ParentPort,
        "Address=" + d.Address,
        "Baudrate=" + std::to_string(d.Baudrate),
        "Present=" + Flag(d.Present),
        "ActiveDevice=" + Flag(d.ActiveDevice),
        "EnableDevice=" + Flag(d.EnableDevice),
        "CountOfAU=" + d.CountOfAU,
        "LCDmode=" + std::to_string(d.LCDmode),
        "ZNum=" + d.ZNum,
        "Nsensor=" + std::to_string(d.Nsensor),
        "Inf=" + d.Inf,
        "TpH=" + FormatReal(d.TpH),
        "TpH1=" + FormatReal(d.TpH1),
        "TpB=" + FormatReal(d.TpB),
        "TpB1=" + FormatReal(d.TpB1),
        "PH=" + FormatReal(d.PH),
        "Phigh=" + FormatReal(d.Phigh),
        "Plow=" + FormatReal(d.Plow),
        "Jcal=" + std::to_string(d.Jcal),
        "Jcal1=" + std::to_string(d.Jcal1),
        "J1min=" + FormatReal(d.J1min),
        "J1max=" + FormatReal(d.J1max),
        "J2min=" + FormatReal(d.J2min),
        "J2max=" + FormatReal(d.J2max),
        "Gamma=" + FormatReal(d.Gamma),
        "PressureSourceFlag=" + std::to_string(d.PressureSourceFlag),
    };
}

void Print(const std::vector<std::string> &lines) {
    for (const auto &line : lines) std::cout << line << "\n";
}

bool LoadMap(Program &program, const Options &options) {
    bool loaded = false;
    if (options.map) {
        const std::filesystem::path file = std::filesystem::absolute(*options.map);
        loaded = LoadMemoryMap(file.parent_path().string(), file.filename().string(), program.map);
    } else {
        loaded = LoadMemoryMap(program.programDir, kMemoryMapFile, program.map);
    }
    if (!loaded)
        std::cerr << "Невозможно открыть файл карты памяти "
                  << (options.map ? *options.map : InProgramDir(program.programDir, "Memory_Map/map.ini")) << "\n";
    return loaded;
}

// The device from the project, then the flags over it.
bool PrepareDevice(Program &program, ConsoleView &view, const Options &options) {
    if (options.project &&
        LoadProject(*options.project, program.device, program.configTab, view, program.project) != ProjectLoad::Loaded)
        return false;
    program.device.Update([&](TDevice &d) {
        if (!options.project || options.baud) d.Baudrate = options.baud.value_or(9600);
        if (options.port) d.ParentPort = *options.port;
        if (options.address) d.Address = std::to_string(*options.address);
        if (options.port && options.address) d.Present = true;
    });
    return true;
}

int Search(Program &program, ConsoleView &view, const Options &options) {
    const Range ports = options.ports.value_or(Range{1, 2});
    const Range addresses = options.addresses.value_or(Range{1, 5});
    if (ports.first < 1 || ports.first > kSearchPortCount || ports.last < 1 || ports.last > kSearchPortCount)
        throw UsageError("--ports must lie within COM1-COM10");
    if (addresses.first < 0 || addresses.first > 255 || addresses.last < 0 || addresses.last > 255)
        throw UsageError("--addresses must lie within 0-255");
    SearchButtonClick(program, {.firstPortIndex = ports.first - 1, .lastPortIndex = ports.last - 1,
                                .firstAddress = addresses.first, .lastAddress = addresses.last,
                                .baudRate = options.baud.value_or(9600)});
    program.runners.JoinAll();
    const TDevice device = program.device.Get();
    if (!device.Present) {
        std::cout << "Прибор не найден\n";
        return kFailure;
    }
    Print(view.DeviceLines());
    Print(SettingsLines(device));
    return kSuccess;
}

int Check(Program &program, ConsoleView &view) {
    CheckLink(program);
    const auto notices = view.Notices();
    return !notices.empty() && notices.back() == "Прибор на связи." ? kSuccess : kFailure;
}

int Read(Program &program, ConsoleView &view, const Options &options) {
    ReadSettingsJob(program);
    Print(SettingsLines(program.device.Get()));
    if (view.ErrorLines() > 0) return kFailure;
    if (options.save) {
        const ProjectWindowValues window{.PressureSource = program.configTab.PressureSource()};
        if (!SaveProject(*options.save, program.device.Get(), window, view)) return kFailure;
    }
    return kSuccess;
}

int Write(Program &program, ConsoleView &view) {
    const int baudIndex = BaudListIndex(program.device.Get().Baudrate);
    if (baudIndex < 0) {
        std::cerr << "Скорость " << program.device.Get().Baudrate << " бод не из списка скоростей прибора\n";
        return kFailure;
    }
    WriteButtonClick(program, baudIndex);
    program.runners.JoinAll();
    const auto log = view.ErrorLog();
    return !view.Refused() && !log.empty() && log.back() == kWriteSucceeded ? kSuccess : kFailure;
}

int SetLink(Program &program, ConsoleView &view, const Options &options) {
    if (!options.newAddress || !options.newBaud) throw UsageError("set-link wants --new-address and --new-baud");
    const int speedIndex = BaudListIndex(*options.newBaud);
    if (speedIndex < 0) throw UsageError("--new-baud must be one of 300 600 1200 2400 4800 9600 19200 115200");
    AddressButtonClick(program, {.newAddress = *options.newAddress, .newSpeedIndex = speedIndex});
    program.runners.JoinAll();
    return view.ErrorLines() == 0 && view.Notices().empty() && view.Status() == kWriteSucceeded ? kSuccess : kFailure;
}

int Run(const Options &options) {
    if (options.help || options.command.empty()) {
        std::cout << kUsage;
        return options.help ? kSuccess : kUsageFailure;
    }
    const bool needsDevice = options.command != "search";
    if (needsDevice && options.command != "write" && !options.project && (!options.port || !options.address))
        throw UsageError(options.command + " wants --port and --address, or --project");
    if (options.command == "write" && !options.project) throw UsageError("write wants --project");

    ConsoleView view(options.yes);
    Program program(view, ProgramDirFromExecutable());
    if (!LoadMap(program, options)) return kFailure;
    if (!PrepareDevice(program, view, options)) return kFailure;

    if (options.command == "search") return Search(program, view, options);
    if (options.command == "check") return Check(program, view);
    if (options.command == "read") return Read(program, view, options);
    if (options.command == "write") return Write(program, view);
    if (options.command == "set-link") return SetLink(program, view, options);
    if (options.command == "poll") return Poll(program, options);
    throw UsageError("unknown command " + options.command);
}

}  // namespace
}  // namespace vilo::cli

int main(int argc, char **argv) {
    try {
        return vilo::cli::Run(vilo::cli::ParseOptions(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const vilo::cli::UsageError &error) {
        std::cerr << "vilo-cli: " << error.what() << "\n" << "Try 'vilo-cli --help'.\n";
        return vilo::cli::kUsageFailure;
    }
}
