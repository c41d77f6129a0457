// Named window messages over the desktop's own registry of message names.
#include "platform/messages.h"

#include <windows.h>

namespace devlink::platform {

std::uint32_t RegisterMessage(const char *name)
{
    return RegisterWindowMessageA(name);
}

void PostMessageTo(void *window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    HWND target = window != nullptr ? static_cast<HWND>(window) : HWND_BROADCAST;
    PostMessageA(target, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void PauseMs(unsigned milliseconds)
{
    Sleep(milliseconds);
}

}  // namespace devlink::platform
