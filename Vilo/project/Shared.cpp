#include "project/Shared.h"

#include <filesystem>
#include <system_error>

namespace vilo {

std::string ProgramDirFromExecutable() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path().string() : ProgramDirOf(executable.string());
}

std::string ProgramDirOf(std::string_view executablePath) {
    const auto separator = executablePath.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? "." : executablePath.substr(0, separator));
}

std::string InProgramDir(std::string_view programDir, std::string_view name) {
    return std::string(programDir) + "/" + std::string(name);
}

std::string FileNamePart(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

namespace {

// The first count characters of a UTF-8 text.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (; i < text.size() && count > 0; --count) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return text.substr(0, i);
}

}  // namespace

std::string ProjectTitle(std::string_view currentTitle, std::string_view projectPath) {
    return std::string(FirstCharacters(currentTitle, 14)) + " - [" + FileNamePart(projectPath) + "]";
}

void ProjectState::MarkProjectChanged() {
    changed_.store(true);
    view_.ShowProjectState(true);
}

void ProjectState::MarkProjectUnchanged() {
    changed_.store(false);
    view_.ShowProjectState(false);
}

std::string ProjectState::ProjectFileName() const {
    std::lock_guard lock(mutex_);
    return projectFileName_;
}

void ProjectState::SetProjectFileName(std::string path) {
    std::lock_guard lock(mutex_);
    projectFileName_ = std::move(path);
}

}  // namespace vilo
