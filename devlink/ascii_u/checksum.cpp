#include "checksum.h"

#include <charconv>

#include "devlink.h"

namespace devlink {

std::uint16_t Crc16Modbus(const std::uint8_t *data, std::size_t size) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

std::uint16_t Crc16Modbus(std::string_view text) {
    return Crc16Modbus(reinterpret_cast<const std::uint8_t *>(text.data()), text.size());
}

int TextChecksum(std::string_view text, std::string &digits) {
    digits.clear();
    if (text.size() < kChecksumTextMin || text.size() > kChecksumTextMax) return EX_ERR_LENGTH;
    auto start = text.find(':');
    if (start == std::string_view::npos) start = text.find('!');
    if (start == std::string_view::npos || start + 1 == text.size()) return EX_ERR_STRUCTURE;
    char buffer[8];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, Crc16Modbus(text.substr(start + 1))).ptr;
    digits.assign(buffer, end);
    return EX_OK;
}

int AppendBufferCrc(std::uint8_t *buffer, std::uint16_t &count, std::uint16_t &crc) {
    crc = 0;
    if (buffer == nullptr || count < 1 || count > kBufferCountMax) return EX_ERR_LENGTH;
    crc = Crc16Modbus(buffer, count);
    buffer[count] = static_cast<std::uint8_t>(crc & 0xFF);
    buffer[count + 1] = static_cast<std::uint8_t>(crc >> 8);
    count = static_cast<std::uint16_t>(count + 2);
    return EX_OK;
}

int BufferByteSum(const std::uint8_t *buffer, std::uint16_t count, std::uint8_t &sum) {
    sum = 0;
    if (buffer == nullptr || count < 1 || count > kBufferCountMax) return EX_ERR_LENGTH;
    unsigned total = 0;
    for (std::uint16_t i = 0; i < count; ++i) total += buffer[i];
    sum = static_cast<std::uint8_t>(255 - (total & 0xFF));
    return EX_OK;
}

}  // namespace devlink
