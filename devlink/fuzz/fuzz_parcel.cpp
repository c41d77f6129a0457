// Feeds arbitrary bytes to the answer analysis, the request builder and the replacement.
// The input is split at its first two NUL bytes into up to three texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ascii_u/parcel.h"
#include "ascii_u/replace.h"

namespace {

std::string_view Piece(std::string_view &rest) {
    const auto nul = rest.find('\0');
    std::string_view piece = rest.substr(0, nul);
    rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char *>(data), size);
    const std::string_view first = Piece(rest), second = Piece(rest), third = Piece(rest);

    std::uint8_t address = 0;
    std::string payload;
    if (devlink::AnalyseAnswer(first, address, payload) == 0 && payload.size() > devlink::kParcelMax) __builtin_trap();

    std::string parcel;
    const auto type = static_cast<std::uint16_t>(size % 17);
    const auto command = static_cast<std::uint8_t>(first.empty() ? 0 : first[0]);
    if (devlink::BuildRequest(type, address, command, second, parcel) == 0 && parcel.size() > devlink::kParcelMax)
        __builtin_trap();
    devlink::AcceptPayload(type, command, address, static_cast<std::uint8_t>(size), payload);
    devlink::ConvertDeviceError(first);

    const std::string result = devlink::ReplaceRepeatedly(first, second.substr(0, 4), third.substr(0, 8));
    if (result.size() > devlink::kReplaceResultMax && third.size() > second.size() &&
        result != devlink::ReplaceOnePass(first, second.substr(0, 4), third.substr(0, 8)))
        __builtin_trap();
    return 0;
}
