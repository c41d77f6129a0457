// The cost of one EX_Exchange against the simulated transmitter: without wire time (what the
// software adds per exchange), and with wire time at 9600 baud as a ratio to the time the
// bytes need on the wire.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "devlink.h"
#include "vilosim.h"

namespace {

struct Bench {
    explicit Bench(bool wireTime) {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {{.address = 1, .wire_time = wireTime}}});
        sim = std::make_unique<vilosim::Simulator>(std::move(config));
        sim->start();
        setenv("DEVLINK_PORT_DIR", sim->port_dir().c_str(), 1);
        handle = EX_CreateCOM();
        EX_SetBaudRate(handle, 9600);
        EX_OpenCOM(handle, "COM1");
    }
    ~Bench() {
        EX_CloseCOM(handle);
        EX_FreeCOM(&handle);
    }
    int Exchange() {
        char data[256] = "";
        char *buffer = data;
        return EX_Exchange(handle, 1, 1, 0, &buffer);
    }

    std::unique_ptr<vilosim::Simulator> sim;
    EX_HANDLE handle = nullptr;
};

// Request "\xFF:1;0;50730\r" and answer "!1;18;15447\r": 24 bytes of ten bits each.
constexpr double kWireSeconds = 24 * 10 / 9600.0;

void RunExchanges(benchmark::State &state, bool wireTime) {
    Bench bench(wireTime);
    for (auto _ : state)
        if (bench.Exchange() != EX_OK) state.SkipWithError("exchange failed");
    state.SetItemsProcessed(state.iterations());
    if (wireTime)
        state.counters["over_wire_bound"] =
            benchmark::Counter(static_cast<double>(state.iterations()) * kWireSeconds,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ExchangeNoWireTime(benchmark::State &state) { RunExchanges(state, false); }
void BM_ExchangeWireTime9600(benchmark::State &state) { RunExchanges(state, true); }

BENCHMARK(BM_ExchangeNoWireTime)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ExchangeWireTime9600)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
