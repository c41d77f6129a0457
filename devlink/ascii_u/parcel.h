// Request and answer parcels: building, analysis, payload acceptance, device error reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace devlink {

inline constexpr char kLeadByte = '\xFF';
inline constexpr char kCR = '\r';
// The longest parcel, answer or payload any export delivers.
inline constexpr std::size_t kParcelMax = 255;

// Reads a decimal integer: an optional sign and one or more digits, the whole text, within
// the 32-bit signed range.
bool ParseDecimalInt(std::string_view text, std::int32_t &value);

// Builds the request parcel: 0xFF ":" address ";" command ";" [data ";"] checksum CR.
// Returns 0, -2, -15, -17, -18; the parcel is empty on failure.
int BuildRequest(std::uint16_t type, std::uint8_t address, std::uint8_t command, std::string_view data,
                 std::string &parcel);

// Checks an answer's framing and checksum and splits off its address and payload.
// Returns 0, -15, -16, -19; address 0 and an empty payload on failure.
int AnalyseAnswer(std::string_view answer, std::uint8_t &address, std::string &payload);

// Judges an analysed answer for the type's rules of the command.
// Returns 0, -2, -17, -18, -20, -21 or a device error code.
int AcceptPayload(std::uint16_t type, std::uint8_t command, std::uint8_t sentAddress, std::uint8_t foundAddress,
                  std::string_view payload);

// "$N" gives -1000 - N; a text without "$", or whose rest after the first "$" is not a
// decimal integer (or gives a code outside the 32-bit range), gives -21.
int ConvertDeviceError(std::string_view payload);

}  // namespace devlink
