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

#include "program_line.h"

// The transmitter's first cell of a setting, as its own map has it.
inline int CellOf(std::string_view key) { return vilosim::MemoryMap::builtin().cell(key); }

// One pointer-and-operation pair to the transmitter at address 1 as it goes on the line.
inline void AddPair(std::vector<std::string> &requests, int cell, const std::string &operation) {
    requests.push_back(vilosim::request("1;2;" + std::to_string(cell) + ";"));
    requests.push_back(vilosim::request("1;" + operation));
}

class DeviceLine : public ProgramLine {
protected:
    void SetUp() override {
        ProgramLine::SetUp();
        Change([](vilo::TDevice &d) {
            d.Present = true;
            d.ParentPort = "COM1";
            d.Address = "1";
            d.Baudrate = 9600;
        });
    }

    // COM1 with the transmitter, published as the library's port directory. A second call
    // replaces the line.
    void StartLine(vilosim::DeviceConfig device = {.address = 1}) {
        StartLines({{.name = "COM1", .devices = {std::move(device)}}});
    }

    // The requests the transmitter received, once at least count of them are there.
    std::vector<std::string> Requests(std::size_t count = 0) const {
        EXPECT_TRUE(sim().wait_for_log(0, count, 2s));
        return LineRequests(0);
    }
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
