/*
 * winmsg: the process-wide registry of named window messages and the message "windows"
 * that receive them, in place of the desktop's window service on platforms that have none.
 *
 * One registry per process: libdevlink and its callers link this library, so a name that
 * both register gives both the same id. Ids are 0xC000 .. 0xFFFF, in order of first
 * registration; names are compared without regard to ASCII letter case.
 *
 * A window is a receiver callback with a context. A post runs the callback of the window
 * (or of every window, for a null window) on the posting thread before it returns. The
 * callback must not block; it may register, post, and destroy its own window (which is
 * freed when that post ends).
 */
#ifndef WINMSG_H
#define WINMSG_H

#include <stdint.h>

#if defined(WINMSG_BUILDING)
#define WINMSG_API __attribute__((visibility("default")))
#else
#define WINMSG_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct WinMsgWindow WinMsgWindow;

typedef void (*WinMsgReceiver)(void *Context, uint32_t Message, uintptr_t WParam, intptr_t LParam);

/* Returns the id registered for the name, registering it on first use; 0 for a null or
 * empty name or when all 16384 ids are taken. */
WINMSG_API uint32_t WinMsg_Register(const char *Name);

/* Makes a window whose receiver gets every message posted to it or broadcast; null when
 * Receiver is null. */
WINMSG_API WinMsgWindow *WinMsg_CreateWindow(WinMsgReceiver Receiver, void *Context);

/* Removes the window; waits until posts running its receiver on other threads have ended.
 * A null window is ignored. */
WINMSG_API void WinMsg_DestroyWindow(WinMsgWindow *Window);

/* Delivers the message to the window, or to every window when Window is null. Returns 1
 * when it reached at least one window (for a named window: when it still exists), else 0. */
WINMSG_API int WinMsg_Post(WinMsgWindow *Window, uint32_t Message, uintptr_t WParam, intptr_t LParam);

#ifdef __cplusplus
}
#endif

#endif /* WINMSG_H */
