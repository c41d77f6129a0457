// The one codec between the program's UTF-8 texts and the Windows-1251 bytes of its edges:
// the memory map, project and property files, and the texts of the wire and the library.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vilo {

// Windows-1251 bytes as UTF-8. The one byte the code page leaves undefined (0x98) becomes
// U+FFFD, the replacement character.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 as Windows-1251 bytes. A character the code page cannot hold becomes "?", and so does
// each malformed piece of UTF-8 (a stray continuation byte, a cut-off or overlong sequence,
// a surrogate, a code point beyond U+10FFFF).
std::string Utf8ToCp1251(std::string_view text);

// ---- UTF-8 texts

// The first count characters of a text; a malformed byte counts as one character.
std::string Utf8Left(std::string_view text, std::size_t count);

// The text with its Latin and Cyrillic capital letters made small (А → а, Ё → ё, Ґ → ґ),
// for matching names without regard to letter case. Every other byte stays as it is.
std::string Utf8Lower(std::string_view text);

}  // namespace vilo
