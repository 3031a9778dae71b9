#include "shell/program.h"

#include <unistd.h>
#include <atomic>
#include <exception>

#include "platform/console.h"
#include "platform/line_editor.h"
#include "platform/signals.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/product.h"
#include "settings/settings.h"
#include "shell/sending.h"

namespace dorvan {
namespace {

std::atomic<bool> controlEventSeen{false};

// 0 unless errorlevel asks for more: 2 after a console control event, 1 after
// any failure that reached the log.
int exitStatus() {
    if (!settings().errorlevel) return 0;
    if (controlEventSeen) return 2;
    return anyErrorLogged() ? 1 : 0;
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
    int status = 0;
    {
        std::lock_guard<std::recursive_mutex> guard(commandLock());  // settings are read under it
        cleanUp();
        status = exitStatus();
    }
    if (event >= 2) {
        // The window, the session or the system goes away: end once cleaned up.
        closeLogging();
        platform::restoreTerminal();  // the line editor may have it in raw mode
        ::_exit(status);
    }
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
    try {
        platform::installControlHandler([](unsigned event) { consoleControlHandler(event); });
        platform::setConsoleTitle(config().displayName());
        auto lockedCleanUp = [] {
            std::lock_guard<std::recursive_mutex> guard(commandLock());
            cleanUp();
        };
        try {
            Sending sending(ArgumentList(argv, argv + argc));
            sending.run();
        } catch (...) {
            lockedCleanUp();
            throw;
        }
        lockedCleanUp();
    } catch (const std::exception& e) {
        printMessage(Level::Error, std::string("main catach ") + e.what());
    }
    int status = 0;
    {
        std::lock_guard<std::recursive_mutex> guard(commandLock());
        closeSession(true);
        status = exitStatus();
    }
    closeLogging();
    return status;
}

}  // namespace dorvan
