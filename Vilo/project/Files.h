// The program's files: the memory map, the projects and the property file "VILO_prop.inf".
// All of them are section/key text files in Windows-1251 (IniFile.h).
#pragma once

#include <string>
#include <string_view>

#include "comm/Devices.h"
#include "comm/MemoryMap.h"
#include "project/ConfigTab.h"
#include "project/Shared.h"
#include "project/UserView.h"

namespace vilo {

inline constexpr std::string_view kMemoryMapFile = "Memory_Map\\map.ini";
inline constexpr std::string_view kPropFile = "VILO_prop.inf";

// A local date and time, as the files record the moment they were written.
struct LocalDateTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
LocalDateTime LocalNow();
// The short date and the long time: "11.12.2026 14:05:09".
std::string DateTimeText(const LocalDateTime &moment);

// Loads the memory map file named relative to the program directory ("\" in the name stands
// for the directory separator, as in "Memory_Map\map.ini"). False, with the map untouched,
// when there is no such file or it cannot be read; otherwise every key of both sections is
// loaded, a missing one with its default, each value cut to 5 characters.
bool LoadMemoryMap(std::string_view programDir, std::string_view relativeName, MemoryMap &map);

// Saves the device record and the window's values as the project at the path. An existing
// file is replaced only when the user agrees; it is replaced whole or not at all. False when
// the user declined or the file could not be written (the user is told why).
bool SaveProject(const std::string &path, const TDevice &device, const ProjectWindowValues &window, UserView &view,
                 const LocalDateTime &savedAt = LocalNow());

enum class ProjectLoad {
    Loaded,   // the project was read and is shown; the project is unchanged
    Missing,  // there is no such file: the user was told, nothing changed
    Stopped,  // the file could not be read or a value did not convert: the user was told and
              // the command that loads it goes no further
};

// Loads the project at the path into the device record and the window.
ProjectLoad LoadProject(const std::string &path, DeviceRecord &device, ConfigTab &configTab, UserView &view,
                        ProjectState &project);

// Remembers the project's path in the property file, keeping whatever else the file holds.
// False when the file could not be read or written (the user is told why).
bool WritePropFile(std::string_view programDir, const std::string &projectPath, UserView &view,
                   const LocalDateTime &writtenAt = LocalNow());

// The project to open at start-up: the remembered path when that project exists, otherwise
// "Default.prj" in the program directory. A path remembered on Windows (it holds "\") is
// taken to exist when its file name exists in the program directory, which is where
// start-up opens it.
std::string ReadPropFile(std::string_view programDir);

}  // namespace vilo
