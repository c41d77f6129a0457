// Parcel text of the transmitter's side: checksum, requests in, answers out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vilosim::proto {

// A request taken apart: ":" addr ";" cmd ";" [args ";"...] crc CR.
struct Request {
    int address = 0;
    int command = -1;                // -1: the command field is not a number
    std::vector<std::string> args;   // fields after the command, as sent
};

// Takes a received request apart. Bytes before the first ":" (a lead byte,
// noise) are skipped. Nothing comes back when there is no ":", no ";", the
// checksum field is not a decimal number or differs from the text's, or the
// address is not a decimal number 0..255.
std::optional<Request> parse_request(std::string_view bytes);

// "!" + address + ";" + payload + ";" + checksum + CR; crc_offset is added to
// the true checksum (modulo 65536), to make a wrong one on demand.
std::string format_answer(int address, std::string_view payload, int crc_offset = 0);

// A whole field of decimal digits (no sign, no blanks, leading zeros allowed).
std::optional<long long> parse_decimal(std::string_view field);

std::string decimal(long long value);
std::string fixed(double value, int decimals);
std::string hex_lower(const std::uint8_t* bytes, std::size_t count);

}  // namespace vilosim::proto
