// Named window messages, as the searches use them to report progress.
#pragma once

#include <cstdint>

namespace devlink::platform {

// The id of the message registered under the name; the same name always gives the same id
// within a process.
std::uint32_t RegisterMessage(const char *name);

// Posts the message to the window, or to every window when window is null. The result of
// posting is not reported.
void PostMessageTo(void *window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// Pauses the calling thread.
void PauseMs(unsigned milliseconds);

}  // namespace devlink::platform
