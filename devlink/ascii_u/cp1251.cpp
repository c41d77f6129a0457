#include "cp1251.h"

#include <cstdint>

namespace devlink {
namespace {

constexpr char32_t kCyrillicFirst = 0x0410;  // А
constexpr char32_t kCyrillicLast = 0x044F;   // я
constexpr char32_t kCapitalYo = 0x0401;      // Ё
constexpr char32_t kSmallYo = 0x0451;        // ё

char EncodeCodePoint(char32_t cp) {
    if (cp < 0x80) return static_cast<char>(cp);
    if (cp >= kCyrillicFirst && cp <= kCyrillicLast) return static_cast<char>(0xC0 + (cp - kCyrillicFirst));
    if (cp == kCapitalYo) return static_cast<char>(0xA8);
    if (cp == kSmallYo) return static_cast<char>(0xB8);
    return '?';
}

// Decodes one UTF-8 sequence starting at text[i] and advances i; malformed input gives
// a code point that encodes as '?'.
char32_t DecodeNext(std::string_view text, std::size_t &i) {
    const auto lead = static_cast<std::uint8_t>(text[i++]);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    char32_t cp = lead & (0x3F >> extra);
    for (; extra > 0; --extra) {
        if (i >= text.size() || (static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<std::uint8_t>(text[i++]) & 0x3F);
    }
    return cp;
}

}  // namespace

std::string ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) out.push_back(EncodeCodePoint(DecodeNext(utf8, i)));
    return out;
}

}  // namespace devlink
