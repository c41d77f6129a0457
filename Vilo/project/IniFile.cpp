#include "project/IniFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "project/Cp1251.h"
#include "project/NumberText.h"

namespace vilo {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
// The program's text files are a few kilobytes; anything far larger is not one of them.
constexpr std::size_t kLargestFile = 16 * 1024 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string OneLine(std::string_view value) {
    std::string line(value);
    for (char &c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

std::error_code LastError() { return {errno, std::system_category()}; }

// Writes all bytes; false with errno set when the system refuses some.
bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Creates a new file of our own in the directory, named so that it cannot be anyone else's.
int CreateBeside(const std::filesystem::path &directory, std::string &name) {
    const std::string process = FormatReal(static_cast<double>(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = (directory / (".vilo-save-" + process + "-" + FormatReal(attempt) + ".tmp")).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool ReplaceFile(const std::string &path, std::string_view bytes, std::error_code &error) {
    namespace fs = std::filesystem;
    fs::path target(path);
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(target, ignored))) {
        // Replace the file the link names, not the link.
        if (auto resolved = fs::canonical(target, ignored); !ignored) target = resolved;
    }

    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) return error = std::make_error_code(std::errc::is_a_directory), false;
    if (hadOld && ::access(target.c_str(), W_OK) != 0) return error = LastError(), false;

    fs::path directory = target.parent_path();
    if (directory.empty()) directory = ".";
    std::string temporary;
    const int fd = CreateBeside(directory, temporary);
    if (fd < 0) return error = LastError(), false;

    bool ok = true;
    if (hadOld) {
        // The replacement keeps the old file's permissions and, where we may set it, its owner
        // (only a privileged user may, and a refusal is no reason not to save).
        const bool sameOwner = ::fchown(fd, old.st_uid, old.st_gid) == 0;
        static_cast<void>(sameOwner);
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok) error = LastError();
    if (::close(fd) != 0 && ok) ok = false, error = LastError();
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) ok = false, error = LastError();
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (const int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);  // the rename itself reaches the disk
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string &path, std::string &bytes, std::error_code &error) {
    // Non-blocking, so that a pipe at the path is refused instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return error = LastError(), false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) error = LastError();
    if (ok && !S_ISREG(info.st_mode)) ok = false, error = std::make_error_code(std::errc::invalid_argument);
    bytes.clear();
    char buffer[65536];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false, error = LastError();
        if (got <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > kLargestFile) ok = false, error = std::make_error_code(std::errc::file_too_large);
    }
    ::close(fd);
    return ok;
}

}  // namespace

IniFile::IniFile(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        byteOrderMark_ = kUtf8ByteOrderMark;
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    }
    while (!bytes.empty()) {
        Line line;
        const auto end = bytes.find('\n');
        line.text = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (end != std::string_view::npos) line.ending = "\n";
        if (!line.ending.empty() && !line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.ending = kLineEnd;
        }
        Classify(line);
        lines_.push_back(std::move(line));
    }
}

std::string IniFile::Decode(std::string_view bytes) const {
    return byteOrderMark_.empty() ? Cp1251ToUtf8(bytes) : std::string(bytes);
}

std::string IniFile::Encode(std::string_view text) const {
    return byteOrderMark_.empty() ? Utf8ToCp1251(text) : std::string(text);
}

void IniFile::Classify(Line &line) const {
    line.kind = Kind::Other;
    const std::string_view text = Trim(line.text);
    if (text.empty() || text.front() == ';') return;
    if (text.front() == '[') {
        std::string_view name = text.substr(1);
        if (const auto close = name.rfind(']'); close != std::string_view::npos) name = name.substr(0, close);
        line.kind = Kind::Section;
        line.name = Utf8Lower(Decode(Trim(name)));
        return;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view key = Trim(text.substr(0, equals));
    if (key.empty()) return;
    line.kind = Kind::Entry;
    line.key = key;
    line.name = Utf8Lower(Decode(key));
    line.value = Decode(Trim(text.substr(equals + 1)));
}

std::size_t IniFile::FindSection(std::string_view loweredName) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && lines_[i].name == loweredName) return i;
    return std::string::npos;
}

std::size_t IniFile::SectionEnd(std::size_t section) const {
    std::size_t end = section + 1;
    while (end < lines_.size() && lines_[end].kind != Kind::Section) ++end;
    return end;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const {
    const std::size_t start = FindSection(Utf8Lower(section));
    if (start == std::string::npos) return std::string(fallback);
    const std::string loweredKey = Utf8Lower(key);
    for (std::size_t i = start + 1, end = SectionEnd(start); i < end; ++i)
        if (lines_[i].kind == Kind::Entry && lines_[i].name == loweredKey) return lines_[i].value;
    return std::string(fallback);
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string encodedValue = Encode(OneLine(value));
    const std::size_t start = FindSection(Utf8Lower(section));
    if (start == std::string::npos) {
        if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = kLineEnd;
        Line header{.text = "[" + Encode(OneLine(section)) + "]", .ending = std::string(kLineEnd)};
        Classify(header);
        lines_.push_back(std::move(header));
        Line entry{.text = Encode(OneLine(key)) + "=" + encodedValue, .ending = std::string(kLineEnd)};
        Classify(entry);
        lines_.push_back(std::move(entry));
        return;
    }
    const std::string loweredKey = Utf8Lower(key);
    std::size_t lastEntry = start;
    for (std::size_t i = start + 1, end = SectionEnd(start); i < end; ++i) {
        Line &line = lines_[i];
        if (line.kind != Kind::Entry) continue;
        if (line.name == loweredKey) {
            line.text = line.key + "=" + encodedValue;
            Classify(line);
            return;
        }
        lastEntry = i;
    }
    if (lines_[lastEntry].ending.empty()) lines_[lastEntry].ending = kLineEnd;
    Line entry{.text = Encode(OneLine(key)) + "=" + encodedValue, .ending = std::string(kLineEnd)};
    Classify(entry);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), std::move(entry));
}

std::string IniFile::Bytes() const {
    std::string bytes = byteOrderMark_;
    for (const Line &line : lines_) bytes += line.text + line.ending;
    return bytes;
}

bool FileExists(const std::string &path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool LoadIniFile(const std::string &path, IniFile &file, std::error_code &error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    file = IniFile(bytes);
    return true;
}

bool SaveIniFile(const std::string &path, const IniFile &file, std::error_code &error) {
    return ReplaceFile(path, file.Bytes(), error);
}

}  // namespace vilo
