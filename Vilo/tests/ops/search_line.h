// A program with the shipped memory map and a recorder as its view, and simulated lines
// COMn with transmitters on them, for the device search and the address change.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comm/DeviceSearch.h"
#include "program_line.h"

// The transmitter's first cell of a setting, as its own map has it.
inline int SimCell(std::string_view key) { return vilosim::MemoryMap::builtin().cell(key); }

// A transmitter of this family at the address, 9600 baud.
inline vilosim::DeviceConfig Transmitter(int address, std::string identification = "18") {
    return {.address = address, .identification = std::move(identification)};
}

// The identification the library sends to an address, with its lead byte.
inline std::string Identification(int address) { return vilosim::request(std::to_string(address) + ";0;", true); }

// How a request stands in a transaction: on its own, or as step A or B of a two-step one.
enum class Step { Single, A, B };
struct Expected {
    std::string request;
    Step step = Step::Single;
};

// A pointer-and-operation transaction to the address as it goes on the line.
inline void AddTwoStep(std::vector<Expected> &requests, int address, int cell, const std::string &operation) {
    const std::string at = std::to_string(address) + ";";
    requests.push_back({vilosim::request(at + "2;" + std::to_string(cell) + ";"), Step::A});
    requests.push_back({vilosim::request(at + operation), Step::B});
}

class SearchLine : public ProgramLine {
protected:
    // The search from its button to its end.
    void Search(const vilo::SearchRange &range) {
        vilo::SearchButtonClick(program(), range);
        program().runners.JoinAll();
    }

    std::vector<std::string> Requests(std::size_t line) const { return LineRequests(line); }

    // The line's log holds exactly the expected requests, and the line stayed quiet for the
    // transaction's pause between answer A and request B and after answer B.
    void ExpectRequests(std::size_t line, const std::vector<Expected> &expected) const {
        std::vector<std::string> requests;
        for (const Expected &e : expected) requests.push_back(e.request);
        const std::vector<vilosim::LogEntry> log = sim().log(line);
        ASSERT_EQ(Requests(line), requests);
        for (std::size_t i = 1; i < log.size(); ++i) {
            if (expected[i].step != Step::B && expected[i - 1].step != Step::B) continue;
            ASSERT_TRUE(log[i - 1].answered()) << i - 1;
            EXPECT_GE(log[i].first_byte - log[i - 1].answer_end, 50ms) << "before request " << i;
        }
    }
};

// The events hold these, in this order (others may lie between them).
inline void ExpectInOrder(const std::vector<std::string> &events, const std::vector<std::string> &wanted) {
    auto at = events.begin();
    for (const std::string &w : wanted) {
        at = std::find(at, events.end(), w);
        ASSERT_NE(at, events.end()) << "missing, or out of order: " << w;
        ++at;
    }
}
