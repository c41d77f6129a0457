#include "cli/Poll.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "comm/devlink_layer.h"
#include "measure/Thread.h"

namespace vilo::cli {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kCellWidth = 10;
// How long the main thread sleeps between looks at the job while it waits for a signal.
constexpr long kSignalWaitNs = 50'000'000;

constexpr const char *kCsvHeader = "time,W,U,T,Rh,Td,a,d,ADC,P";

// Local time with milliseconds: "2025-03-14 09:26:53.589".
std::string TimeText(Clock::time_point moment) {
    const std::time_t seconds = Clock::to_time_t(moment);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms < 0 ? ms + 1000 : ms));
    return text;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

std::string ConsoleLine(const PassReport &pass) {
    std::string line = TimeText(pass.end);
    for (const std::string &cell : pass.cells) {
        line += ' ';
        if (cell.size() < kCellWidth) line.append(kCellWidth - cell.size(), ' ');
        line += cell;
    }
    return line;
}

std::string CsvLine(const PassReport &pass) {
    std::string line = TimeText(pass.end);
    for (const std::string &cell : pass.cells) {
        line += ',';
        line += Trimmed(cell);
    }
    return line;
}

// SIGINT and SIGTERM are held back from every thread while the job runs, so that the main
// thread takes them in its own time and stops the job in order.
class HeldSignals {
public:
    HeldSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    HeldSignals(const HeldSignals &) = delete;
    HeldSignals &operator=(const HeldSignals &) = delete;

    // Waits a little for one of them; true when one came.
    bool Wait() {
        const timespec wait{0, kSignalWaitNs};
        const int signal = sigtimedwait(&set_, nullptr, &wait);
        return signal == SIGINT || signal == SIGTERM;
    }

private:
    sigset_t set_{}, previous_{};
};

}  // namespace

int Poll(Program &program, const Options &options) {
    if (options.cycles && *options.cycles < 1) throw UsageError("--cycles wants a number of 1 or more");
    const TDevice device = program.device.Get();
    if (!device.Present) {
        std::cerr << "Прибор не найден: задайте --port и --address или проект с найденным прибором\n";
        return kFailure;
    }

    std::ofstream csv;
    if (options.csv) {
        csv.open(*options.csv, std::ios::out | std::ios::trunc);
        if (csv) csv << kCsvHeader << '\n' << std::flush;
        if (!csv) {
            std::cerr << "Невозможно записать файл " << *options.csv << "\n";
            return kFailure;
        }
    }

    HeldSignals signals;  // before the job's thread, which inherits the mask
    Measurement measurement(program);
    const int cycles = options.cycles.value_or(0);
    int shown = 0;  // on the job's thread only
    std::atomic<bool> csvFailed{false};
    measurement.OnPass([&](const PassReport &pass) {
        if (!pass.complete) return;
        std::cout << ConsoleLine(pass) << '\n' << std::flush;
        if (options.csv && !csvFailed) {
            csv << CsvLine(pass) << '\n' << std::flush;
            if (!csv) {
                std::cerr << "Невозможно записать файл " << *options.csv << "\n";
                csvFailed = true;
                measurement.RequestStop();
            }
        }
        if (++shown == cycles) measurement.RequestStop();
    });
    if (!measurement.Start({})) {
        std::cerr << "Измерение не запущено\n";
        return kFailure;
    }
    while (measurement.Running())
        if (signals.Wait()) measurement.RequestStop();
    measurement.Wait();

    switch (measurement.LastRunEnd()) {
    case RunEnd::Stopped: return csvFailed ? kFailure : kSuccess;
    case RunEnd::PortFailed:
        std::cerr << ResultCodeText(measurement.PortFailureCode(), device.ParentPort).Text << "\n";
        return kFailure;
    default: return kFailure;
    }
}

}  // namespace vilo::cli
