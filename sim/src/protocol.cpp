#include "protocol.h"

#include <charconv>
#include <system_error>

#include "vilosim.h"

namespace vilosim {

std::uint16_t crc16(std::string_view bytes) {
    std::uint16_t crc = 0xFFFF;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            const bool out = crc & 1u;
            crc >>= 1;
            if (out) crc ^= 0xA001;
        }
    }
    return crc;
}

std::string request(std::string_view body, bool lead) {
    std::string out;
    if (lead) out.push_back('\xFF');
    out.push_back(':');
    out.append(body);
    out += proto::decimal(crc16(body));
    out.push_back('\r');
    return out;
}

}  // namespace vilosim

namespace vilosim::proto {

std::optional<long long> parse_decimal(std::string_view field) {
    if (field.empty() || field.size() > 18) return std::nullopt;
    long long v = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (ec != std::errc() || end != field.data() + field.size() || v < 0) return std::nullopt;
    if (field.front() < '0' || field.front() > '9') return std::nullopt;  // no sign
    return v;
}

std::string decimal(long long value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string fixed(double value, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string hex_lower(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

std::optional<Request> parse_request(std::string_view bytes) {
    const auto start = bytes.find(':');
    if (start == std::string_view::npos) return std::nullopt;
    std::string_view text = bytes.substr(start + 1);
    if (const auto cr = text.find('\r'); cr != std::string_view::npos) text = text.substr(0, cr);
    const auto last = text.rfind(';');
    if (last == std::string_view::npos) return std::nullopt;
    const std::string_view covered = text.substr(0, last + 1);
    const auto sum = parse_decimal(text.substr(last + 1));
    if (!sum || *sum != crc16(covered)) return std::nullopt;

    std::vector<std::string> fields;
    std::string_view rest = covered.substr(0, covered.size() - 1);
    for (;;) {
        const auto semi = rest.find(';');
        fields.emplace_back(rest.substr(0, semi));
        if (semi == std::string_view::npos) break;
        rest.remove_prefix(semi + 1);
    }
    const auto addr = parse_decimal(fields[0]);
    if (!addr || *addr > 255) return std::nullopt;

    Request r;
    r.address = static_cast<int>(*addr);
    if (fields.size() > 1) {
        const auto cmd = parse_decimal(fields[1]);
        if (cmd && *cmd <= 255) r.command = static_cast<int>(*cmd);
        r.args.assign(fields.begin() + 2, fields.end());
    }
    return r;
}

std::string format_answer(int address, std::string_view payload, int crc_offset) {
    std::string covered = decimal(address);
    covered.push_back(';');
    covered.append(payload);
    covered.push_back(';');
    const auto sum = static_cast<std::uint16_t>(crc16(covered) + crc_offset);
    std::string out = "!";
    out += covered;
    out += decimal(sum);
    out.push_back('\r');
    return out;
}

}  // namespace vilosim::proto
