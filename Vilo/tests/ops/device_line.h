// A program with the shipped memory map, its device record pointing at a simulated
// transmitter on COM1 (address 1, 9600 baud), and a recorder as its view.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "project/Files.h"
#include "project/Program.h"
#include "project/RecordingView.h"
#include "vilosim.h"

using namespace std::chrono_literals;

// The transmitter's first cell of a setting, as its own map has it.
inline int CellOf(std::string_view key) { return vilosim::MemoryMap::builtin().cell(key); }

// One pointer-and-operation pair to the transmitter at address 1 as it goes on the line.
inline void AddPair(std::vector<std::string> &requests, int cell, const std::string &operation) {
    requests.push_back(vilosim::request("1;2;" + std::to_string(cell) + ";"));
    requests.push_back(vilosim::request("1;" + operation));
}

class DeviceLine : public testing::Test {
protected:
    void SetUp() override {
        program_ = std::make_unique<vilo::Program>(view, VILO_SOURCE_ROOT);
        ASSERT_TRUE(vilo::LoadMemoryMap(program_->programDir, vilo::kMemoryMapFile, program_->map));
        program_->device.Update([](vilo::TDevice &d) {
            d.Present = true;
            d.ParentPort = "COM1";
            d.Address = "1";
            d.Baudrate = 9600;
        });
    }

    // COM1 with the transmitter, published as the library's port directory. A second call
    // replaces the line.
    void StartLine(vilosim::DeviceConfig device = {.address = 1}) {
        sim_.reset();
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {std::move(device)}});
        sim_ = std::make_unique<vilosim::Simulator>(std::move(config));
        sim_->start();
        setenv("DEVLINK_PORT_DIR", sim_->port_dir().c_str(), 1);
    }

    void TearDown() override {
        program_.reset();  // waits for the runners still running
        sim_.reset();
        unsetenv("DEVLINK_PORT_DIR");
    }

    vilo::Program &program() { return *program_; }
    vilosim::Simulator &sim() { return *sim_; }
    void Change(const std::function<void(vilo::TDevice &)> &change) { program_->device.Update(change); }
    vilo::TDevice Device() const { return program_->device.Get(); }

    // The requests the transmitter received, once at least count of them are there.
    std::vector<std::string> Requests(std::size_t count = 0) const {
        EXPECT_TRUE(sim_->wait_for_log(0, count, 2s));
        std::vector<std::string> requests;
        for (const vilosim::LogEntry &entry : sim_->log(0)) requests.push_back(entry.request);
        return requests;
    }

    vilo::RecordingView view;

private:
    std::unique_ptr<vilosim::Simulator> sim_;
    std::unique_ptr<vilo::Program> program_;
};

// Every request after the first starts at least the transaction's pause after the answer
// before it: between pointer and operation, and between two transactions.
inline void ExpectPausesBetween(const std::vector<vilosim::LogEntry> &log) {
    for (std::size_t i = 1; i < log.size(); ++i) {
        ASSERT_TRUE(log[i - 1].answered()) << i - 1;
        EXPECT_GE(log[i].first_byte - log[i - 1].answer_end, 50ms)
            << "between request " << i - 1 << " and " << i << ": "
            << std::chrono::duration_cast<std::chrono::microseconds>(log[i].first_byte - log[i - 1].answer_end).count()
            << " us";
    }
}
