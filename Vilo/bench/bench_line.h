// What the benchmarks against a line share: a program with the shipped memory map and a
// recorder as its view, joined to one simulated transmitter at address 1 on COM1 at 9600 baud,
// and the time the logged requests and answers need on the wire.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

#include "project/Files.h"
#include "project/Program.h"
#include "project/RecordingView.h"
#include "vilosim.h"

namespace bench {

constexpr int kBaud = 9600;
constexpr int kBitsPerByte = 10;

struct BenchLine {
    explicit BenchLine(bool wireTime) {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {{.address = 1, .baud = kBaud, .wire_time = wireTime}}});
        sim = std::make_unique<vilosim::Simulator>(std::move(config));
        sim->start();
        setenv("DEVLINK_PORT_DIR", sim->port_dir().c_str(), 1);
        program = std::make_unique<vilo::Program>(view, VILO_SOURCE_ROOT);
        mapLoaded = vilo::LoadMemoryMap(program->programDir, vilo::kMemoryMapFile, program->map);
        program->device.Update([](vilo::TDevice &d) {
            d.Present = true;
            d.ParentPort = "COM1";
            d.Address = "1";
            d.Baudrate = kBaud;
        });
    }

    // The requests and answers logged since the last call: how many, and the least time
    // their bytes (ten bits each) take on the wire.
    struct Traffic {
        std::size_t exchanges = 0;
        double wireSeconds = 0;
    };
    Traffic TakeTraffic() {
        const std::vector<vilosim::LogEntry> log = sim->take_log(0);
        double bytes = 0;
        for (const vilosim::LogEntry &entry : log) bytes += static_cast<double>(entry.request.size() + entry.answer.size());
        return {log.size(), bytes * kBitsPerByte / kBaud};
    }

    vilo::RecordingView view;
    std::unique_ptr<vilosim::Simulator> sim;
    std::unique_ptr<vilo::Program> program;
    bool mapLoaded = false;
};

}  // namespace bench
