#include "platform/signals_os.h"

#include <windows.h>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace dorvan::platform {
namespace {

// Events go from the system's handler thread to the thread of signals.cpp.
// Guarded by `lock`; never destroyed, since the handler may run while the
// process ends.
struct EventQueue {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<unsigned> events;
};

EventQueue& queue() {
    static auto* instance = new EventQueue;
    return *instance;
}

BOOL WINAPI onControlEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT &&
        event != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    {
        std::lock_guard<std::mutex> guard(queue().lock);
        queue().events.push_back(static_cast<unsigned>(event));
    }
    queue().arrived.notify_one();
    // The system ends the process when this returns from a close, log-off or
    // shutdown event: wait here until the clean-up has ended it (the system
    // allows a few seconds).
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

namespace os {

void catchControlEvents() { SetConsoleCtrlHandler(onControlEvent, TRUE); }

// CTRL_C_EVENT is 0, CTRL_BREAK_EVENT 1, ..., CTRL_SHUTDOWN_EVENT 6.
unsigned nextControlEvent() {
    std::unique_lock<std::mutex> guard(queue().lock);
    queue().arrived.wait(guard, [] { return !queue().events.empty(); });
    unsigned event = queue().events.front();
    queue().events.pop_front();
    return event;
}

}  // namespace os
}  // namespace dorvan::platform
