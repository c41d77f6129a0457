// Named window messages over the winmsg registry, which libdevlink shares with its callers.
#include "platform/messages.h"

#include <chrono>
#include <thread>

#include "winmsg.h"

namespace devlink::platform {

std::uint32_t RegisterMessage(const char *name)
{
    return WinMsg_Register(name);
}

void PostMessageTo(void *window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    WinMsg_Post(static_cast<WinMsgWindow *>(window), message, wParam, lParam);
}

void PauseMs(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace devlink::platform
