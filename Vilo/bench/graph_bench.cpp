// The chart model under a run that keeps every point: what a point costs when its line
// already holds 10^6, what the lines take in memory, and what the window pays at a redraw to
// learn the automatic bounds.
//
// Counters:
//   FillLine/1000000      per_point, the time per point over a line filled from empty to 10^6
//                         points (the job's order: the following rule, then the point);
//                         bytes_per_point of heap held by the lines afterwards.
//   RefillAfterClear/1000000  per_point for the same fill after a clear, which keeps the
//                         storage: the cost of a point without the growth of the line.
//   AddAtMillion          per_point for points added to a line that holds 10^6 already
//                         (amortised: the one growth of the line's storage on the way counts).
//   WorstAdd/1000000      worst_us, the longest single AddPoint while a line grows to 10^6:
//                         the growth of its storage, which the job waits for.
//   ShownAtRedraw         ns for both axes' shown ranges with seven lines of 10^6 points,
//                         all bounds automatic; bytes_per_point over the seven lines.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>

#include "measure/Graph.h"

namespace {

constexpr double kStep = 1000 * 1.6666666e-5;  // one point a second, in minutes
constexpr int kLine = 3;

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;  // small blocks and mapped ones (large vectors)
}

void Feed(vilo::ChartModel &chart, int quantity, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
        const double x = static_cast<double>(i) * kStep;
        chart.FollowNewX(x, false);
        chart.AddPoint(quantity, x, 20 + static_cast<double>(i % 1000) * 0.001);
    }
}

void BM_FillLine(benchmark::State &state) {
    const auto points = static_cast<std::size_t>(state.range(0));
    double bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::size_t before = HeapInUse();
        auto chart = std::make_unique<vilo::ChartModel>();
        state.ResumeTiming();
        Feed(*chart, kLine, 0, points);
        benchmark::DoNotOptimize(chart->PointCount(kLine));
        state.PauseTiming();
        bytes = static_cast<double>(HeapInUse() - before);
        chart.reset();
        state.ResumeTiming();
    }
    state.counters["per_point"] = benchmark::Counter(
        static_cast<double>(points), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes_per_point"] = bytes / static_cast<double>(points);
}
BENCHMARK(BM_FillLine)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The next run's fill: a clear keeps the lines' storage, so nothing grows or is copied.
void BM_RefillAfterClear(benchmark::State &state) {
    const auto points = static_cast<std::size_t>(state.range(0));
    vilo::ChartModel chart;
    Feed(chart, kLine, 0, points);
    for (auto _ : state) {
        chart.Clear();
        Feed(chart, kLine, 0, points);
        benchmark::DoNotOptimize(chart.PointCount(kLine));
    }
    state.counters["per_point"] = benchmark::Counter(
        static_cast<double>(points), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RefillAfterClear)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

void BM_AddAtMillion(benchmark::State &state) {
    constexpr std::size_t kFilled = 1'000'000;
    vilo::ChartModel chart;
    Feed(chart, kLine, 0, kFilled);
    std::size_t i = kFilled;
    for (auto _ : state) {
        const double x = static_cast<double>(i) * kStep;
        chart.FollowNewX(x, false);
        chart.AddPoint(kLine, x, 20 + static_cast<double>(i % 1000) * 0.001);
        ++i;
    }
    benchmark::DoNotOptimize(chart.PointCount(kLine));
    state.counters["per_point"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["points_at_end"] = static_cast<double>(chart.PointCount(kLine));
}
// A fixed count, so that the line ends near 2 · 10^6 points whatever the machine's speed.
BENCHMARK(BM_AddAtMillion)->Iterations(1'000'000)->Unit(benchmark::kNanosecond);

void BM_WorstAdd(benchmark::State &state) {
    const auto points = static_cast<std::size_t>(state.range(0));
    double worst = 0;
    for (auto _ : state) {
        vilo::ChartModel chart;
        for (std::size_t i = 0; i < points; ++i) {
            const double x = static_cast<double>(i) * kStep;
            const auto start = std::chrono::steady_clock::now();
            chart.AddPoint(kLine, x, 20);
            const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
            worst = std::max(worst, took.count());
        }
        benchmark::DoNotOptimize(chart.PointCount(kLine));
    }
    state.counters["worst_us"] = worst;
}
BENCHMARK(BM_WorstAdd)->Arg(1'000'000)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ShownAtRedraw(benchmark::State &state) {
    constexpr std::size_t kPerLine = 1'000'000;
    const std::size_t before = HeapInUse();
    vilo::ChartModel chart;
    for (int q = 1; q <= vilo::kChartQuantities; ++q) Feed(chart, q, 0, kPerLine);
    const double bytes = static_cast<double>(HeapInUse() - before);
    chart.ResetChartBounds();
    for (auto _ : state) {
        benchmark::DoNotOptimize(chart.Shown(vilo::Axis::Left));
        benchmark::DoNotOptimize(chart.Shown(vilo::Axis::Bottom));
    }
    state.counters["bytes_per_point"] = bytes / (kPerLine * vilo::kChartQuantities);
    state.counters["total_MB"] = bytes / 1e6;
}
BENCHMARK(BM_ShownAtRedraw)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
