// CRC-16/MODBUS and the checksums built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace devlink {

// Shortest and longest text a parcel checksum is computed over (start bytes included).
inline constexpr std::size_t kChecksumTextMin = 2;
inline constexpr std::size_t kChecksumTextMax = 249;
// Byte buffers the buffer checksums accept.
inline constexpr std::size_t kBufferCountMax = 4093;

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final xor.
std::uint16_t Crc16Modbus(const std::uint8_t *data, std::size_t size);
std::uint16_t Crc16Modbus(std::string_view text);

// The parcel checksum of a text: CRC-16/MODBUS of every character after the first ":"
// (or, without one, the first "!"), as unsigned decimal digits. Returns 0, -15 for a text
// outside 2 .. 249 characters, -16 without a start character or nothing after it; digits
// is empty on failure.
int TextChecksum(std::string_view text, std::string &digits);

// Appends the CRC of the first count bytes, low byte first, and adds 2 to count.
int AppendBufferCrc(std::uint8_t *buffer, std::uint16_t &count, std::uint16_t &crc);

// 255 minus the sum of the first count bytes modulo 256.
int BufferByteSum(const std::uint8_t *buffer, std::uint16_t count, std::uint8_t &sum);

}  // namespace devlink
