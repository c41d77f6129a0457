#include "parcel.h"

#include <charconv>
#include <limits>
#include <vector>

#include "checksum.h"
#include "device_table.h"
#include "devlink.h"

namespace devlink {

bool ParseDecimalInt(std::string_view text, std::int32_t &value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    if (text.empty()) return false;
    std::int32_t parsed = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

int BuildRequest(std::uint16_t type, std::uint8_t address, std::uint8_t command, std::string_view data,
                 std::string &parcel) {
    parcel.clear();
    TCommandKind kind;
    if (int rc = LookupCommand(type, command, kind); rc != EX_OK) return rc;
    if (kind.RequestKind > DataAlways) return EX_ERR_BAD_ARGUMENT;
    if (kind.RequestKind == DataRequired && data.empty()) return EX_ERR_BAD_ARGUMENT;

    std::string text;
    text += kLeadByte;
    text += ':' + std::to_string(address) + ';' + std::to_string(command) + ';';
    if (kind.RequestKind != NoData) {
        if (text.size() + data.size() + 1 > kChecksumTextMax) return EX_ERR_LENGTH;
        text.append(data);
        text += ';';
    }
    std::string checksum;
    if (int rc = TextChecksum(text, checksum); rc != EX_OK) return rc;
    parcel = text + checksum + kCR;
    return EX_OK;
}

namespace {

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        auto semicolon = text.find(';', start);
        fields.push_back(text.substr(start, semicolon - start));
        if (semicolon == std::string_view::npos) return fields;
        start = semicolon + 1;
    }
}

int AnalyseFields(std::string_view answer, std::uint8_t &address, std::string &payload) {
    auto start = answer.find(':');
    if (start == std::string_view::npos) start = answer.find('!');
    if (start == std::string_view::npos || answer.find(kCR) == std::string_view::npos) return EX_ERR_STRUCTURE;

    std::string_view rest = answer.substr(start + 1);
    rest = rest.substr(0, rest.find(kCR));
    if (rest.size() < 2) return EX_ERR_LENGTH;

    const auto fields = SplitFields(rest);
    std::string checked(1, answer[start]);
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) (checked += fields[i]) += ';';
    std::string checksum;
    if (int rc = TextChecksum(checked, checksum); rc != EX_OK) return rc;

    // A checksum field that is no number cannot match the computed one.
    std::int32_t expected = 0, received = 0;
    ParseDecimalInt(checksum, expected);
    if (!ParseDecimalInt(fields.back(), received) || received != expected) return EX_ERR_CHECKSUM;

    std::int32_t addressField = 0;
    if (!ParseDecimalInt(fields.front(), addressField)) return EX_ERR_STRUCTURE;
    address = static_cast<std::uint8_t>(addressField & 0xFF);

    if (fields.size() == 3) {
        payload.assign(fields[1]);
    } else {
        for (std::size_t i = 1; i + 1 < fields.size(); ++i) (payload += fields[i]) += ';';
    }
    return EX_OK;
}

}  // namespace

int AnalyseAnswer(std::string_view answer, std::uint8_t &address, std::string &payload) {
    address = 0;
    payload.clear();
    int rc = AnalyseFields(answer, address, payload);
    if (rc != EX_OK) {
        address = 0;
        payload.clear();
    }
    return rc;
}

int AcceptPayload(std::uint16_t type, std::uint8_t command, std::uint8_t sentAddress, std::uint8_t foundAddress,
                  std::string_view payload) {
    TCommandKind kind;
    if (int rc = LookupCommand(type, command, kind); rc != EX_OK) return rc;
    const bool deviceReport = payload.find('$') != std::string_view::npos;
    switch (kind.AnswerKind) {
    case Acknowledge:
        if (foundAddress != sentAddress) return EX_ERR_ADDRESS;
        if (payload.empty()) return EX_ERR_PAYLOAD;
        if (payload.find("$0") != std::string_view::npos) return EX_OK;
        return ConvertDeviceError(payload);
    case DataChecked:
        if (foundAddress != sentAddress) return EX_ERR_ADDRESS;
        [[fallthrough]];
    case DataUnchecked:
        if (payload.empty()) return EX_ERR_PAYLOAD;
        return deviceReport ? ConvertDeviceError(payload) : EX_OK;
    default:
        return EX_ERR_BAD_ARGUMENT;
    }
}

int ConvertDeviceError(std::string_view payload) {
    const auto dollar = payload.find('$');
    if (dollar == std::string_view::npos) return EX_ERR_PAYLOAD;
    std::int32_t number = 0;
    if (!ParseDecimalInt(payload.substr(dollar + 1), number)) return EX_ERR_PAYLOAD;
    const std::int64_t code = std::int64_t{EX_DEVICE_ERROR_BASE} - number;
    if (code < std::numeric_limits<std::int32_t>::min() || code > std::numeric_limits<std::int32_t>::max())
        return EX_ERR_PAYLOAD;
    return static_cast<int>(code);
}

}  // namespace devlink
