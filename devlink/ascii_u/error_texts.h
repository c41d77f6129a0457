// The library's message for every result code, in Windows-1251.
#pragma once

#include <cstdint>
#include <string>

namespace devlink {

// The message for a result code; the device type matters only for device error codes
// (-1000 .. -1225), whose text comes from the type's row.
std::string ExtendedErrorInfo(std::uint16_t type, std::int32_t code);

}  // namespace devlink
