// A program with the shipped memory map and a recorder as its view, and simulated lines COMn
// published as the library's port directory: the base of the operations' tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/Files.h"
#include "project/Program.h"
#include "project/RecordingView.h"
#include "vilosim.h"

using namespace std::chrono_literals;

class ProgramLine : public testing::Test {
protected:
    void SetUp() override {
        program_ = std::make_unique<vilo::Program>(view, VILO_SOURCE_ROOT);
        ASSERT_TRUE(vilo::LoadMemoryMap(program_->programDir, vilo::kMemoryMapFile, program_->map));
    }

    void TearDown() override {
        if (program_) program_->searchDone = true;  // a search left running stops soon
        program_.reset();                           // waits for the runners still running
        sim_.reset();
        unsetenv("DEVLINK_PORT_DIR");
    }

    // The lines, published as the library's port directory; a second call replaces them.
    void StartLines(std::vector<vilosim::LineConfig> lines) {
        sim_.reset();
        vilosim::Config config;
        config.lines = std::move(lines);
        sim_ = std::make_unique<vilosim::Simulator>(std::move(config));
        sim_->start();
        setenv("DEVLINK_PORT_DIR", sim_->port_dir().c_str(), 1);
    }

    vilo::Program &program() { return *program_; }
    vilosim::Simulator &sim() { return *sim_; }
    const vilosim::Simulator &sim() const { return *sim_; }
    void Change(const std::function<void(vilo::TDevice &)> &change) { program_->device.Update(change); }
    vilo::TDevice Device() const { return program_->device.Get(); }

    // The requests the line received, as they came.
    std::vector<std::string> LineRequests(std::size_t line) const {
        std::vector<std::string> requests;
        for (const vilosim::LogEntry &entry : sim_->log(line)) requests.push_back(entry.request);
        return requests;
    }

    vilo::RecordingView view;

private:
    std::unique_ptr<vilosim::Simulator> sim_;
    std::unique_ptr<vilo::Program> program_;
};
