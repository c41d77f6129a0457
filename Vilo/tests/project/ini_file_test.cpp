#include "project/IniFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempDir.h"

namespace vilo {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// A file as another program or a person with an editor would leave it: entries before any
// section, comments, blank lines, blanks around names and values, other letter case, LF and
// CR LF mixed, a section given twice, Cyrillic names and values in Windows-1251.
constexpr std::string_view kForeignFile =
    "; written by hand\n"
    "stray=outside any section\n"
    "\n"
    "[Other]\n"
    "Name=wrong section\n"
    "  [ DEVICE1 ]  \r\n"
    "  parentport   =   COM3  \r\n"
    "ADDRESS=\n"
    "a line without an equals sign\n"
    "=no key\n"
    "Inf = \xF1 \xEF\xF0\xEE\xE1\xE5\xEB\xE0\xEC\xE8 \xE2\xED\xF3\xF2\xF0\xE8 \n"  // "с пробелами внутри"
    "Gamma=\"1.61\"\n"
    "[device1]\n"
    "ParentPort=COM9\n"
    "Extra=only in the second one\n"
    "[\xD1\xE5\xEA\xF6\xE8\xFF]\r\n"  // [Секция]
    "\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n"  // Ключ=Значение
    "\xEA\xEB\xFE\xF7=second\r\n"                          // ключ=second
    "last=no line end";

TEST(IniFileTest, ReadsAFileWrittenByAnotherProgram) {
    const IniFile file(kForeignFile);
    const struct {
        const char *section, *key, *fallback, *expected;
    } cases[] = {
        {"Device1", "ParentPort", "COM1", "COM3"},                   // blanks and case dropped
        {"device1", "Address", "0", ""},                             // empty value, not the default
        {"DEVICE1", "Baudrate", "9600", "9600"},                     // missing key
        {"Device1", "Inf", "", "с пробелами внутри"},                // inner blanks kept
        {"Device1", "Gamma", "", "\"1.61\""},                        // values are taken as found
        {"Device1", "Extra", "none", "none"},                        // the second Device1 does not count
        {"Device1", "a line without an equals sign", "-", "-"},
        {"Other", "NAME", "", "wrong section"},
        {"", "stray", "-", "-"},                                     // outside any section
        {"Nowhere", "Name", "fallback", "fallback"},
        {"СЕКЦИЯ", "КЛЮЧ", "", "Значение"},                          // Cyrillic case, first key wins
        {"секция", "last", "", "no line end"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(file.ReadString(c.section, c.key, c.fallback), c.expected) << c.section << "/" << c.key;
}

TEST(IniFileTest, WritingChangesOnlyTheKeysLineOrAddsOne) {
    IniFile file(
        "; settings\n"
        "[DefFile]\n"
        "NAME = old.prj\n"
        "Other=kept\n"
        "\n"
        "; the next section\n"
        "[Date_Time]\r\n"
        "Kept=1");
    file.WriteString("deffile", "Name", "C:\\Проекты\\новый.prj");  // in place, spelling of the file kept
    file.WriteString("DefFile", "Added", "yes");                   // after the section's last entry
    file.WriteString("Date_Time", "DateTime", "now");              // after a last line without an end
    file.WriteString("New", "Key", "line1\r\nline2");              // a new section; a value is one line
    EXPECT_EQ(file.Bytes(),
              "; settings\n"
              "[DefFile]\n"
              "NAME=C:\\\xCF\xF0\xEE\xE5\xEA\xF2\xFB\\\xED\xEE\xE2\xFB\xE9.prj\n"
              "Other=kept\n"
              "Added=yes\r\n"
              "\n"
              "; the next section\n"
              "[Date_Time]\r\n"
              "Kept=1\r\n"
              "DateTime=now\r\n"
              "[New]\r\n"
              "Key=line1  line2\r\n");
    EXPECT_EQ(file.ReadString("DEFFILE", "name", ""), "C:\\Проекты\\новый.prj");
    EXPECT_EQ(file.ReadString("new", "key", ""), "line1  line2");
}

TEST(IniFileTest, EmptyFileGrowsInWriteOrder) {
    IniFile file;
    file.WriteString("A", "x", "1");
    file.WriteString("B", "y", "");
    file.WriteString("a", "z", "3");
    EXPECT_EQ(file.Bytes(), "[A]\r\nx=1\r\nz=3\r\n[B]\r\ny=\r\n");
}

TEST(IniFileTest, FileWithUtf8ByteOrderMarkStaysUtf8) {
    IniFile file("\xEF\xBB\xBF[Секция]\nКлюч=Значение\n");
    EXPECT_EQ(file.ReadString("секция", "ключ", ""), "Значение");
    file.WriteString("Секция", "Ещё", "да");
    EXPECT_EQ(file.Bytes(), "\xEF\xBB\xBF[Секция]\nКлюч=Значение\nЕщё=да\r\n");
}

TEST(IniFileTest, SavingReplacesTheFileWholeAndKeepsItsPermissions) {
    TempDir dir;
    const std::string path = dir / "a.ini";
    WriteBytes(path, "[A]\r\nx=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    IniFile file;
    std::error_code error;
    ASSERT_TRUE(LoadIniFile(path, file, error));
    file.WriteString("A", "x", "2");
    ASSERT_TRUE(SaveIniFile(path, file, error)) << error.message();

    EXPECT_EQ(ReadBytes(path), "[A]\r\nx=2\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);  // no temporary file left beside it
}

TEST(IniFileTest, SavingThroughALinkReplacesTheLinkedFile) {
    TempDir dir;
    WriteBytes(dir / "real.ini", "old");
    std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
    std::error_code error;
    ASSERT_TRUE(SaveIniFile(dir / "link.ini", IniFile("[A]\r\n"), error));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadBytes(dir / "real.ini"), "[A]\r\n");
}

}  // namespace
}  // namespace vilo
