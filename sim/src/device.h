// One simulated transmitter: its cells, memory pointer, address, rate,
// faults and readings. Not synchronised: its line's mutex guards it.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <string>

#include "protocol.h"
#include "vilosim.h"

namespace vilosim::detail {

// What one device writes back for one request, and when.
struct Answer {
    std::string bytes;                       // garbage, if any, and the parcel
    std::optional<std::size_t> hang_at;      // hang up after this many bytes
    Clock::time_point ready;                 // the request counts as received
    Clock::duration lead{};                  // from ready to the first byte
    Clock::duration first_offset{};          // the first byte is written this late
    Clock::duration interval{};              // and each further one this much later
    std::optional<int> new_address;          // take effect after the answer
    std::optional<int> new_baud;
};

// A request as the line received it.
struct Received {
    std::string bytes;
    Clock::time_point first_byte;
    Clock::time_point complete;
};

class Device {
public:
    Device(DeviceConfig config, Clock::time_point epoch);

    // The answer to a request addressed to this device at its own rate;
    // nothing when it stays silent.
    std::optional<Answer> respond(const proto::Request& request, const Received& received);
    // The address and rate changes an answer carries, once it is written.
    void settle(const Answer& answer);

    void add_fault(Fault fault);
    void clear_faults() { faults_.clear(); }
    void set_address(int address);
    void set_baud(int baud);
    void set_reading(int parameter, std::optional<std::string> payload);

    int address() const { return address_; }
    int baud() const { return baud_; }
    std::array<std::uint8_t, 256> cells;

private:
    std::string execute(const proto::Request& request, const Received& received, Answer& answer);
    std::string reading(int parameter, Clock::time_point at) const;
    bool matches(const Fault& fault, const proto::Request& request) const;
    void put_float(std::string_view key, float value);
    std::size_t cell_of(std::string_view key) const;  // first cell of a map key

    DeviceConfig config_;
    Clock::time_point epoch_;
    ReadingModel model_;
    int address_;
    int baud_;
    int pointer_ = 0;
    std::list<Fault> faults_;
    std::map<int, std::string> fixed_readings_;
};

// Index of a rate in kSpeedList, or 15 for a rate the list lacks.
int speed_index(int baud);

}  // namespace vilosim::detail
