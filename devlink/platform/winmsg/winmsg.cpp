// The process-wide registry of message names and windows (see winmsg.h).
//
// Posts run receivers outside the registry lock, so a receiver may register names, post and
// create windows. Each window counts the posts running its receiver; destroying a window
// takes it out of the registry first (no new post reaches it), then waits for the posts
// still running on other threads. A post running on the destroying thread itself (a receiver
// that destroys its window) cannot be waited for: the last such post frees the window.
#include "winmsg.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

struct WinMsgWindow {
    WinMsgReceiver receiver;
    void *context;
    std::uint64_t serial;       // creation order; broadcasts go out in this order
    unsigned inFlight = 0;      // posts running the receiver now, on any thread
    bool removed = false;       // destroyed; the last running post frees it
};

namespace {

constexpr std::uint32_t kFirstId = 0xC000;
constexpr std::uint32_t kIdCount = 0x10000 - kFirstId;

class Registry {
public:
    std::uint32_t Register(const char *name)
    {
        if (name == nullptr || *name == '\0')
            return 0;
        std::string key(name);
        for (char &c : key) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        }
        const std::lock_guard lock(mutex_);
        const auto found = ids_.find(key);
        if (found != ids_.end())
            return found->second;
        if (ids_.size() >= kIdCount)
            return 0;
        const auto id = static_cast<std::uint32_t>(kFirstId + ids_.size());
        ids_.emplace(std::move(key), id);
        return id;
    }

    WinMsgWindow *Create(WinMsgReceiver receiver, void *context)
    {
        if (receiver == nullptr)
            return nullptr;
        const std::lock_guard lock(mutex_);
        auto *window = new WinMsgWindow{receiver, context, nextSerial_++};
        try {
            windows_.emplace(window->serial, window);
        } catch (...) {
            delete window;
            throw;
        }
        return window;
    }

    void Destroy(WinMsgWindow *window)
    {
        if (window == nullptr)
            return;
        std::unique_lock lock(mutex_);
        if (!Registered(window))
            return;  // not a window, or destroyed already
        windows_.erase(window->serial);
        const auto own = static_cast<unsigned>(
            std::count(deliveringHere_.begin(), deliveringHere_.end(), window));
        idle_.wait(lock, [window, own] { return window->inFlight == own; });
        if (own == 0)
            delete window;
        else
            window->removed = true;
    }

    int Post(WinMsgWindow *window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
    {
        std::unique_lock lock(mutex_);
        if (window != nullptr) {
            if (!Registered(window))
                return 0;
            Deliver(lock, window, message, wParam, lParam);
            return 1;
        }
        // Every window that exists now and is still there when its turn comes.
        int reached = 0;
        const std::uint64_t last = nextSerial_;
        for (auto next = windows_.begin(); next != windows_.end() && next->first < last;) {
            const std::uint64_t serial = next->first;
            Deliver(lock, next->second, message, wParam, lParam);
            reached = 1;
            next = windows_.upper_bound(serial);
        }
        return reached;
    }

private:
    bool Registered(WinMsgWindow *window) const
    {
        return std::any_of(windows_.begin(), windows_.end(),
                           [window](const auto &entry) { return entry.second == window; });
    }

    // Runs the receiver with the lock released; the lock is held again on return.
    void Deliver(std::unique_lock<std::mutex> &lock, WinMsgWindow *window, std::uint32_t message,
                 std::uintptr_t wParam, std::intptr_t lParam)
    {
        deliveringHere_.push_back(window);
        ++window->inFlight;
        lock.unlock();
        window->receiver(window->context, message, wParam, lParam);
        lock.lock();
        deliveringHere_.pop_back();
        if (--window->inFlight == 0 && window->removed)
            delete window;
        else
            idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    std::unordered_map<std::string, std::uint32_t> ids_;
    std::map<std::uint64_t, WinMsgWindow *> windows_;
    std::uint64_t nextSerial_ = 1;
    static thread_local std::vector<WinMsgWindow *> deliveringHere_;
};

thread_local std::vector<WinMsgWindow *> Registry::deliveringHere_;

// Never destroyed: other libraries may still post from their own exit code.
Registry &TheRegistry()
{
    static Registry *registry = new Registry;
    return *registry;
}

}  // namespace

extern "C" {

WINMSG_API uint32_t WinMsg_Register(const char *Name)
{
    try {
        return TheRegistry().Register(Name);
    } catch (...) {
        return 0;
    }
}

WINMSG_API WinMsgWindow *WinMsg_CreateWindow(WinMsgReceiver Receiver, void *Context)
{
    try {
        return TheRegistry().Create(Receiver, Context);
    } catch (...) {
        return nullptr;
    }
}

WINMSG_API void WinMsg_DestroyWindow(WinMsgWindow *Window)
{
    TheRegistry().Destroy(Window);
}

WINMSG_API int WinMsg_Post(WinMsgWindow *Window, uint32_t Message, uintptr_t WParam, intptr_t LParam)
{
    try {
        return TheRegistry().Post(Window, Message, WParam, LParam);
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
