// The time of the settings read and of the write cycle against the simulated transmitter
// with wire time at 9600 baud, next to the least either can take: the pauses of its
// transactions (100 ms each) plus the time every request and answer byte needs on the wire
// (ten bits each), taken from the transmitter's log of the very cycle measured.
//
// Counters per cycle: cycle_ms (as measured), bound_ms, over_bound (cycle / bound) and the
// transactions seen on the line.
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench_line.h"
#include "comm/ReadSettings.h"
#include "comm/ThreadS.h"

namespace {

constexpr double kPausesPerTransaction = 0.100;  // s
constexpr int kNineSixHundred = 5;               // cmbBaudIptv's position

struct Line : bench::BenchLine {
    Line() : BenchLine(true) {
        program->device.Update([](vilo::TDevice &d) {
            d.CountOfAU = "8";
            d.PH = 100;
        });
    }

    // The least time the requests and answers logged since the last call can take.
    double BoundSeconds(double &transactions) {
        const Traffic traffic = TakeTraffic();
        transactions = static_cast<double>(traffic.exchanges) / 2;
        return transactions * kPausesPerTransaction + traffic.wireSeconds;
    }
};

template <typename Cycle, typename Succeeded>
void RunCycles(benchmark::State &state, Cycle cycle, Succeeded succeeded) {
    Line line;
    if (!line.mapLoaded) {
        state.SkipWithError("no memory map");
        return;
    }
    double measured = 0, bound = 0, transactions = 0;
    for (auto _ : state) {
        line.view.ClearErrorLog();
        line.sim->clear_log(0);
        const auto start = std::chrono::steady_clock::now();
        cycle(*line.program);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        if (!succeeded(line.view)) {
            state.SkipWithError("the cycle failed");
            return;
        }
        measured += seconds;
        bound += line.BoundSeconds(transactions);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["cycle_ms"] = measured / n * 1000;
    state.counters["bound_ms"] = bound / n * 1000;
    state.counters["over_bound"] = measured / bound;
    state.counters["transactions"] = transactions;
}

void BM_ReadCycle9600(benchmark::State &state) {
    RunCycles(state, [](vilo::Program &program) { vilo::ReadDeviceSettings(program); },
              [](const vilo::RecordingView &view) { return view.ErrorLog().empty(); });
}

void BM_WriteCycle9600(benchmark::State &state) {
    RunCycles(state, [](vilo::Program &program) { vilo::WriteParameters(program, kNineSixHundred); },
              [](const vilo::RecordingView &view) {
                  const auto log = view.ErrorLog();
                  return log.size() == 1 && log.front() == "Цикл записи успешно завершён.";
              });
}

BENCHMARK(BM_ReadCycle9600)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_WriteCycle9600)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
