// The table of known device types: names, timeouts, channel layout, command rules and the
// devices' own error texts. Built once when the library loads, read-only afterwards.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace devlink {

enum RequestKind : std::uint8_t { NoData = 0, DataRequired = 1, DataAlways = 2 };
enum AnswerKind : std::uint8_t { Acknowledge = 0, DataChecked = 1, DataUnchecked = 2 };

struct TCommandKind {
    std::uint8_t RequestKind = NoData;
    std::uint8_t AnswerKind = Acknowledge;
};

struct TDeviceInfo {
    std::uint16_t DeviceType = 0;
    std::string Name;  // Windows-1251
    std::uint16_t Timeout = 0;
    std::uint16_t ChannelCount = 0;
    std::uint16_t ExtraCount = 0;
    std::string ChannelIndexes;
    std::bitset<256> Commands;
    std::array<TCommandKind, 256> CommandKinds{};
    std::bitset<256> DeviceErrors;
    std::array<std::string, 256> DeviceErrorTexts;  // Windows-1251
};

inline constexpr std::size_t kDeviceTableRows = 15;

// The rows in table order.
const std::vector<TDeviceInfo> &DeviceTable();

// Copies the first row of the type into info; -17 and an empty record when there is none.
int LookupDeviceByType(std::uint16_t type, TDeviceInfo &info);
// Copies the first row whose name equals the text exactly; -17 and an empty record otherwise.
int LookupDeviceByName(std::string_view name, TDeviceInfo &info);

// The command rules of a type, without copying the whole row: -17 for an unknown type,
// -18 for a command the type does not accept, else 0 with the command's kinds.
int LookupCommand(std::uint16_t type, std::uint8_t command, TCommandKind &kind);

// The names of all rows, each followed by ";".
std::string AllDeviceNames();

}  // namespace devlink
