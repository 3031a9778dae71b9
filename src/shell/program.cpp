#include "shell/program.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/console.h"
#include "platform/line_editor.h"
#include "platform/process.h"
#include "platform/signals.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "shell/sending.h"

namespace dorvan {
namespace {

// How long a console control event waits for the running command (and for a
// shutdown already under way) before it ends the process anyway.
constexpr auto controlEventWait = std::chrono::seconds(2);

// Held by the thread that shuts the program down: the main thread from its
// final clean-up until the process ends, or the control handler's thread for
// its clean-up. So the two never overlap, and the process ends without
// static destructors while the holder still has it. Never destroyed.
// Lock order of the program, outermost first: this lock, commandLock(), a
// batch's orderLock_ (commands/parallel_batch.cpp), Settings::sessionPointerLock,
// FtpLib's own lock; then the leaf locks, under which nothing else is taken:
// TransferDisplay::lock_, the ZIP packer's mutex_ (zip/parallel_pack.cpp), the
// table of remote folders a batch made (commands/batch_folders.cpp), and the
// log's and the console's output locks.
std::timed_mutex& shutdownLock() {
    static auto* lock = new std::timed_mutex;
    return *lock;
}

// Takes `lock` if it comes free within `wait`. Polls try_lock rather than
// try_lock_for: ThreadSanitizer does not see locks taken through
// pthread_mutex_clocklock, which try_lock_for uses, and would report races
// the lock prevents.
template <typename Lock>
bool lockWithin(Lock& lock, std::chrono::steady_clock::duration wait) {
    for (auto deadline = std::chrono::steady_clock::now() + wait;;) {
        if (lock.try_lock()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::atomic<bool> controlEventSeen{false};

// A command line not understood: 64. A command given on the process command
// line: 0, 1 after any failure, 2 after a console control event. Otherwise 0
// unless errorlevel asks for more: 2 after a console control event, 1 after
// any failure that reached the log.
int exitStatus() {
    const std::optional<int> decided = commandLineStatus();
    if (decided == 64) return 64;
    if (!decided && !settings().errorlevel) return 0;
    if (controlEventSeen) return 2;
    return anyErrorLogged() ? 1 : decided.value_or(0);
}

// Held-back console output goes out only when no other thread is writing:
// a command that did not give way may be stuck on a full pipe.
[[noreturn]] void endNow() {
    platform::consoleFlushUnlessBusy();
    platform::consoleStatus("");  // a transfer's status line must not outlive the program
    platform::restoreTerminal();  // the line editor may have it in raw mode
    platform::endProcess(exitStatus());
}

[[noreturn]] void endProgram() {
    closeLogging();
    platform::consoleFlush();
    endNow();
}

// Console control events: 0 Ctrl+C, 1 Ctrl+Break, 2 window closed, 5 log-off,
// 6 shutdown. Runs on the control handler's own thread.
bool consoleControlHandler(unsigned event) {
    bool handled = event == 0 || event == 1 || event == 2 || event == 5 || event == 6;
    if (!handled) return false;
    controlEventSeen = true;
    settings().quitRequested = true;
    interruptCommands();
    abortSession();  // a transfer in progress gives up at once
    platform::wakeConsoleReader();

    std::unique_lock<std::timed_mutex> shutdown(shutdownLock(), std::defer_lock);
    // The main thread is ending the program and has not finished in time.
    if (!lockWithin(shutdown, controlEventWait)) endNow();
    std::unique_lock<std::recursive_timed_mutex> command(commandLock(), std::defer_lock);
    if (!lockWithin(command, controlEventWait)) {
        // A command that does not give way (a blocking local read, say) keeps
        // the session; it goes with the process.
        config().writeShortcuts();
        closeLogging();
        endNow();
    }
    cleanUp();
    // The window, the session or the system goes away: end once cleaned up.
    if (event >= 2) endProgram();
    return true;
}

}  // namespace

void cleanUp() {
    closeSession(true);
    config().writeShortcuts();
}

int programMain(int argc, char** argv) {
    openLogging();
    config();
    std::unique_lock<std::timed_mutex> ending(shutdownLock(), std::defer_lock);
    try {
        // The control handler's thread wakes the prompt through it.
        platform::prepareConsoleWake();
        platform::installControlHandler([](unsigned event) { consoleControlHandler(event); });
        platform::setConsoleTitle(config().displayName());
        platform::shapeConsoleWindow();
        auto finalCleanUp = [&ending] {
            if (!ending.owns_lock()) ending.lock();
            std::lock_guard<std::recursive_timed_mutex> guard(commandLock());
            cleanUp();
        };
        try {
            Sending sending(platform::processArguments(argc, argv));
            sending.run();
        } catch (...) {
            finalCleanUp();
            throw;
        }
        finalCleanUp();
    } catch (const std::exception& e) {
        printMessage(Level::Error, std::string("main catach ") + e.what());
    }
    if (!ending.owns_lock()) ending.lock();
    {
        std::lock_guard<std::recursive_timed_mutex> guard(commandLock());
        closeSession(true);
    }
    endProgram();
}

}  // namespace dorvan
