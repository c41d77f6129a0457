// What every part of the program shares: the program directory, the current project with its
// changed state, the display precision and the window title rule.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

#include "project/UserView.h"

namespace vilo {

inline constexpr int kDisplayPrecision = 4;
inline constexpr std::string_view kBaseTitle = "ВИЛО настройка";  // 14 characters
inline constexpr std::string_view kDefaultProject = "Default.prj";
inline constexpr std::string_view kNewProject = "New.prj";

// The directory of the running executable, without a trailing separator.
std::string ProgramDirFromExecutable();
// The directory part of an executable's path: everything before its last separator.
std::string ProgramDirOf(std::string_view executablePath);
// ProgramDir + separator + name.
std::string InProgramDir(std::string_view programDir, std::string_view name);
// The file-name part of a path: the text after its last "\" or "/" (paths written on
// Windows hold "\").
std::string FileNamePart(std::string_view path);
// The first 14 characters of the current title + " - [" + the project's file name + "]".
std::string ProjectTitle(std::string_view currentTitle, std::string_view projectPath);

// The current project: its path and whether it has changed since it was loaded or saved.
// The changed state is what the project pane shows, so every switch goes through the view.
class ProjectState {
public:
    explicit ProjectState(UserView &view) : view_(view) {}

    void MarkProjectChanged();
    void MarkProjectUnchanged();
    bool Changed() const { return changed_.load(); }

    std::string ProjectFileName() const;
    void SetProjectFileName(std::string path);

private:
    UserView &view_;
    std::atomic<bool> changed_{false};
    mutable std::mutex mutex_;
    std::string projectFileName_;
};

}  // namespace vilo
