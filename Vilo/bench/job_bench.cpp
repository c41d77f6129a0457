// The measurement job's cycle rate against the simulated transmitter: once without wire time
// (what the program and the pseudo-terminal cost), once with wire time at 9600 baud next to the
// least time a cycle can take there, the ten bit times of every request and answer byte on the
// line (6 requests and 6 answers per cycle), taken from the transmitter's log of the very
// cycles measured.
//
// Counters: cycles_per_s; with wire time also bound_cycles_per_s and ratio_to_bound
// (measured rate / bound rate; 1 would be a line that never rests).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "bench_line.h"
#include "measure/Thread.h"

namespace {

struct Line : bench::BenchLine {
    explicit Line(bool wireTime) : BenchLine(wireTime) {
        program->device.Update([](vilo::TDevice &d) { d.PH = 101.325; });
        measurement = std::make_unique<vilo::Measurement>(*program);
    }

    // One run of the given number of cycles; its time from the start to the end of the job.
    double Run(int cycles, bool &failed) {
        int passes = 0;
        failed = false;
        measurement->OnPass([&](const vilo::PassReport &pass) {
            if (pass.status != EX_OK) failed = true;
            if (++passes == cycles || failed) measurement->RequestStop();
        });
        const auto start = std::chrono::steady_clock::now();
        if (!measurement->Start({.stepDrow = vilo::kStepDrowDesignItem})) failed = true;
        measurement->Wait();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    std::unique_ptr<vilo::Measurement> measurement;
};

void RunCycles(benchmark::State &state, bool wireTime, int cycles) {
    Line line(wireTime);
    if (!line.mapLoaded) {
        state.SkipWithError("no memory map");
        return;
    }
    double measured = 0, bound = 0;
    std::size_t exchanges = 0;
    for (auto _ : state) {
        line.view.ClearEvents();
        line.sim->clear_log(0);
        bool failed = false;
        const double seconds = line.Run(cycles, failed);
        state.SetIterationTime(seconds);
        if (failed) {
            state.SkipWithError("a cycle failed");
            return;
        }
        measured += seconds;
        const bench::BenchLine::Traffic traffic = line.TakeTraffic();
        bound += traffic.wireSeconds;
        exchanges = traffic.exchanges;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["cycles_per_s"] = runs * cycles / measured;
    state.counters["exchanges_per_cycle"] = static_cast<double>(exchanges) / cycles;
    if (wireTime) {
        state.counters["bound_cycles_per_s"] = runs * cycles / bound;
        state.counters["ratio_to_bound"] = bound / measured;
    }
}

void BM_JobCycles(benchmark::State &state) { RunCycles(state, false, 500); }
void BM_JobCycles9600(benchmark::State &state) { RunCycles(state, true, 20); }

BENCHMARK(BM_JobCycles)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_JobCycles9600)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
