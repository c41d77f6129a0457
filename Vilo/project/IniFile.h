// Section/key text files as the platform's profile files behave: the memory map, the
// projects and the property file.
//
// A section starts with a line "[Name]"; an entry is a line "key=value" inside a section.
// Sections and keys are matched without regard to letter case (Latin and Cyrillic); blanks
// around names and values are dropped; values carry no quoting; a missing key gives the
// caller's default while a key with an empty value gives the empty text. Comment lines (";"),
// blank lines, other lines and entries before the first section are ignored. Where a name
// appears twice, the first section and the first key count.
//
// The file's bytes are Windows-1251 (UTF-8 when the file begins with a UTF-8 byte order
// mark); the names and values handed in and out are UTF-8. Lines end with CR LF or LF when
// read; lines that are written end with CR LF. Writing a key changes only its own line or
// adds one: every other line of the file stays byte for byte as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vilo {

class IniFile {
public:
    IniFile() = default;  // an empty file
    explicit IniFile(std::string_view bytes);

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;

    // The key's line takes the new value where the first matching section has it; otherwise
    // the entry is added after the last entry of that section, or a new section is added at
    // the end of the file. A value is one line: CR and LF in it are written as blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes.
    std::string Bytes() const;

private:
    enum class Kind { Other, Section, Entry };
    struct Line {
        std::string text;    // the line's bytes without its end
        std::string ending;  // "\r\n", "\n", or "" for a last line without one
        Kind kind = Kind::Other;
        std::string name;    // section name or key, decoded and in small letters
        std::string key;     // an entry's key as the file spells it (bytes)
        std::string value;   // an entry's value, decoded
    };

    void Classify(Line &line) const;
    std::string Decode(std::string_view bytes) const;
    std::string Encode(std::string_view text) const;
    // The line of the first section of that (small-letter) name, or npos.
    std::size_t FindSection(std::string_view loweredName) const;
    // The first line after a section's lines.
    std::size_t SectionEnd(std::size_t section) const;

    std::string byteOrderMark_;
    std::vector<Line> lines_;
};

// Whether something other than a directory exists at the path.
bool FileExists(const std::string &path);

// Reads a whole file. Fails for a file that cannot be opened or read, for something that is
// not a regular file, and for a file too large to be one of the program's text files.
bool LoadIniFile(const std::string &path, IniFile &file, std::error_code &error);

// Writes the file's bytes into a new file beside the path and renames it over the path, so a
// failed write leaves the old file whole. The new file keeps the old one's permissions; an
// existing file that may not be written is not replaced.
bool SaveIniFile(const std::string &path, const IniFile &file, std::error_code &error);

}  // namespace vilo
