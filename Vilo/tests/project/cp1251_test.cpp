#include "project/Cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace vilo {
namespace {

// The C library's own Windows-1251 table, as an independent witness of ours; empty when it
// has no character for the byte.
std::string SystemDecoded(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "(no codec)";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char *inPtr = in, *outPtr = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return ok ? std::string(out, outPtr) : std::string();
}

TEST(Cp1251Test, HighHalfMatchesTheSystemTableBothWays) {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        SCOPED_TRACE(byte);
        const std::string bytes(1, static_cast<char>(byte));
        const std::string text = Cp1251ToUtf8(bytes);
        if (byte == 0x98) {
            EXPECT_EQ(SystemDecoded(0x98), "");  // undefined in the code page
            EXPECT_EQ(text, "\uFFFD");
            EXPECT_EQ(Utf8ToCp1251(text), "?");
            continue;
        }
        EXPECT_EQ(text, SystemDecoded(static_cast<unsigned char>(byte)));
        EXPECT_EQ(Utf8ToCp1251(text), bytes);
    }
    const std::string ascii = "\x01 COM1=9600;[Map]~\x7F";
    EXPECT_EQ(Cp1251ToUtf8(ascii), ascii);
    EXPECT_EQ(Utf8ToCp1251(ascii), ascii);
    EXPECT_EQ(Utf8ToCp1251(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1251Test, CharactersWithoutAFormAndMalformedUtf8BecomeQuestionMarks) {
    const struct {
        const char *name;
        std::string text, bytes;
    } cases[] = {
        {"Cyrillic with Ё and №", "Ёжик №5", "\xA8\xE6\xE8\xEA \xB9" "5"},
        {"Latin letter with accent", "café", "caf?"},
        {"CJK and emoji count once each", "日本😀.", "???."},
        {"stray continuation byte", "a\x80z", "a?z"},
        {"cut-off sequence before ASCII", "\xE2\x82z", "?z"},
        {"cut-off sequence at the end", "ok\xD0", "ok?"},
        {"overlong slash", "\xC0\xAF", "??"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"invalid lead byte", "\xFF\xFE", "??"},
    };
    for (const auto &c : cases) EXPECT_EQ(Utf8ToCp1251(c.text), c.bytes) << c.name;
}

TEST(Cp1251Test, CharacterCutAndCaseFolding) {
    EXPECT_EQ(Utf8Left("Прибор", 3), "При");  // characters, not bytes
    EXPECT_EQ(Utf8Left("ab", 5), "ab");
    EXPECT_EQ(Utf8Left("a\xD0", 2), "a\xD0");  // a malformed tail is one character
    EXPECT_EQ(Utf8Left("\xE2\x82z", 1), "\xE2\x82");
    EXPECT_EQ(Utf8Lower("DeViCe1 ПРИБОР ЁЖ ҐЇІЄЎЂ №"), "device1 прибор ёж ґїієўђ №");
    EXPECT_EQ(Utf8Lower("a\xFF" "B"), "a\xFF" "b");
}

}  // namespace
}  // namespace vilo
