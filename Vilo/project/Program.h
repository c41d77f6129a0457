// Everything one run of the program holds: the view it shows itself through, the memory map,
// the device record, the project, the configuration page's state, the background runners and
// the flags the operations share. The window and vilo-cli each make one.
#pragma once

#include <atomic>
#include <string>

#include "comm/Devices.h"
#include "comm/MemoryMap.h"
#include "comm/th_search.h"
#include "project/ConfigTab.h"
#include "project/Shared.h"
#include "project/UserView.h"

namespace vilo {

struct Program {
    Program(UserView &userView, std::string directory)
        : view(userView), programDir(std::move(directory)), project(userView), configTab(device, project, userView) {}

    UserView &view;
    const std::string programDir;
    MemoryMap map;  // loaded once before any operation runs
    DeviceRecord device;
    ProjectState project;
    ConfigTab configTab;

    std::atomic<bool> measuring{false};   // the StartStop button is down
    std::atomic<bool> searchRunning{false};  // the search button reads "Остановить поиск"
    std::atomic<bool> searchDone{true};   // the running search is to stop before its next address
    std::atomic<bool> readRunning{false}; // a settings read runs: the read buttons are disabled

    // Last: destroyed first, so that every runner has ended before what it works on goes.
    Runners runners;
};

}  // namespace vilo
