// A simulated line published as DEVLINK_PORT_DIR, and a handle onto it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "devlink.h"
#include "out_text.h"
#include "vilosim.h"

using namespace std::chrono_literals;

class SimLine : public testing::Test {
protected:
    // One line COM1 with a transmitter at address 1, 9600 baud, unless the test says otherwise.
    void Start(vilosim::Config config = DefaultConfig()) {
        sim_ = std::make_unique<vilosim::Simulator>(std::move(config));
        sim_->start();
        setenv("DEVLINK_PORT_DIR", sim_->port_dir().c_str(), 1);
    }

    static vilosim::Config DefaultConfig() {
        vilosim::Config config;
        config.lines.push_back({.name = "COM1", .devices = {{.address = 1}}});
        return config;
    }

    // A handle open on the port at the rate; the test fails when it does not open.
    EX_HANDLE OpenHandle(const char *port = "COM1", unsigned baud = 9600) {
        EX_HANDLE handle = EX_CreateCOM();
        handles_.push_back(handle);
        EXPECT_EQ(EX_SetBaudRate(handle, baud), EX_OK);
        EXPECT_EQ(EX_OpenCOM(handle, port), EX_OK) << port;
        return handle;
    }

    struct Reply {
        int rc;
        std::string data;
    };
    static Reply Exchange(EX_HANDLE handle, unsigned type, unsigned address, unsigned command,
                          const std::string &data = "") {
        OutText buffer(256, data);
        const int rc = EX_Exchange(handle, type, address, command, buffer.out());
        return {rc, buffer.text()};
    }

    void TearDown() override {
        for (EX_HANDLE &handle : handles_) {
            EX_CloseCOM(handle);
            EX_FreeCOM(&handle);
        }
        sim_.reset();
        unsetenv("DEVLINK_PORT_DIR");
    }

    vilosim::Simulator &sim() { return *sim_; }

private:
    std::unique_ptr<vilosim::Simulator> sim_;
    std::vector<EX_HANDLE> handles_;
};

template <typename F>
std::chrono::milliseconds TimeOf(F &&f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}
