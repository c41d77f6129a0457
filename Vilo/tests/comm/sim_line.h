// Simulated transmitters on pseudo-terminals, published as the port directory the library
// opens its ports in.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "vilosim.h"

using namespace std::chrono_literals;

class SimLine : public testing::Test {
protected:
    void Start(vilosim::Config config) {
        sim_ = std::make_unique<vilosim::Simulator>(std::move(config));
        sim_->start();
        setenv("DEVLINK_PORT_DIR", sim_->port_dir().c_str(), 1);
    }

    // COM1 with one transmitter (by default at address 1, 9600 baud).
    static vilosim::Config OneDevice(vilosim::DeviceConfig device) {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {std::move(device)}});
        return config;
    }

    void TearDown() override {
        sim_.reset();
        unsetenv("DEVLINK_PORT_DIR");
    }

    vilosim::Simulator &sim() { return *sim_; }

    // The requests of line 0 as the transmitter received them.
    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        for (const vilosim::LogEntry &entry : sim_->log(0)) requests.push_back(entry.request);
        return requests;
    }

private:
    std::unique_ptr<vilosim::Simulator> sim_;
};

inline std::chrono::milliseconds Millis(vilosim::Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d);
}
