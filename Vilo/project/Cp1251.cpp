#include "project/Cp1251.h"

#include <array>

namespace vilo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The characters of bytes 0x80 to 0xBF; 0xC0 to 0xFF hold А to я (U+0410 to U+044F) in
// order. 0x98 is undefined.
constexpr std::array<char32_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

void AppendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes the character at text[i] and moves i past it. A malformed piece gives false and i
// moves past its longest well-formed beginning (at least one byte), so that a cut-off
// sequence counts once and the byte after it is read again.
bool NextCharacter(std::string_view text, std::size_t &i, char32_t &c) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        c = lead;
        ++i;
        return true;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        ++i;
        return false;
    }
    char32_t value = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const std::size_t at = i + k;
        const bool fits = at < text.size() && byte(at) >= (k == 1 ? low : 0x80) && byte(at) <= (k == 1 ? high : 0xBF);
        if (!fits) {
            i = at;
            return false;
        }
        value = (value << 6) | (byte(at) & 0x3F);
    }
    i += length;
    c = value;
    return true;
}

// The Windows-1251 byte of a character, or 0 when the code page has none (NUL itself is
// handled by the caller).
unsigned char Cp1251Byte(char32_t c) {
    if (c < 0x80) return static_cast<unsigned char>(c);
    if (c >= 0x0410 && c <= 0x044F) return static_cast<unsigned char>(0xC0 + (c - 0x0410));
    for (std::size_t k = 0; k < kHighHalf.size(); ++k)
        if (kHighHalf[k] == c && c != 0) return static_cast<unsigned char>(0x80 + k);
    return 0;
}

char32_t Lowered(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // А .. Я
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;  // Ѐ .. Џ, with Ё, Ђ, Є, І, Ї, Ў
    if (((c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF)) && c % 2 == 0) return c + 1;  // Ґ ...
    return c;
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        if (byte < 0x80) {
            out += b;
        } else if (byte >= 0xC0) {
            AppendUtf8(out, 0x0410 + (byte - 0xC0));
        } else {
            const char32_t c = kHighHalf[byte - 0x80];
            AppendUtf8(out, c == 0 ? kReplacement : c);
        }
    }
    return out;
}

std::string Utf8ToCp1251(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        if (!NextCharacter(text, i, c)) {
            out += '?';
            continue;
        }
        const unsigned char byte = Cp1251Byte(c);
        out += (byte == 0 && c != 0) ? '?' : static_cast<char>(byte);
    }
    return out;
}

std::string Utf8Left(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (char32_t c = 0; i < text.size() && count > 0; --count) NextCharacter(text, i, c);
    return std::string(text.substr(0, i));
}

std::string Utf8Lower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (NextCharacter(text, i, c))
            AppendUtf8(out, Lowered(c));
        else
            out.append(text.substr(start, i - start));
    }
    return out;
}

}  // namespace vilo
