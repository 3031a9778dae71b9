#include "platform/console.h"

#include <atomic>
#include <chrono>
#include <mutex>

#include "platform/console_os.h"
#include "text/display_width.h"
#include "text/terminal_safe.h"

namespace dorvan::platform {
namespace {

using os::ConsoleStream;
using text::displayWidth;
using text::leadingColumns;
using text::terminalSafe;

// A leaf lock: nothing else is locked while it is held.
std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
}

// The status line's text, already made safe and cut, and whether it is on
// the screen now. Guarded by outputLock().
struct StatusLine {
    std::string text;
    size_t columns = 0;  // the text's width on the screen
    bool shown = false;
    bool atLineStart = true;  // the last output ended a line: the status line may go below it
};

StatusLine& statusLine() {
    static StatusLine line;
    return line;
}

// What goes before console output so that the status line is gone: called with
// outputLock() held.
std::string takeStatusAway() {
    StatusLine& status = statusLine();
    if (!status.shown) return {};
    status.shown = false;
    return os::statusErasure(status.columns);
}

// The status line again after output that ended a line; outputLock() held.
std::string_view bringStatusBack(std::string_view written) {
    StatusLine& status = statusLine();
    if (!written.empty()) status.atLineStart = written.back() == '\n';
    if (status.text.empty() || !status.atLineStart) return {};
    status.shown = true;
    return status.text;
}

// Piped output not yet written. Guarded by outputLock(); `held` tells
// without the lock whether there is any.
std::string heldOutput;
std::atomic<bool> held{false};
std::chrono::steady_clock::time_point heldSince;  // when heldOutput last stopped being empty
constexpr size_t heldCap = 65536;

// Called with outputLock() held.
void writeHeld() {
    if (heldOutput.empty()) return;
    os::writeConsole(ConsoleStream::output, heldOutput);
    heldOutput.clear();
    held.store(false, std::memory_order_relaxed);
}

}  // namespace

void consoleWriteLine(std::string_view text) {
    std::string line(text);
    line += lineEnd();
    consoleWrite(line);
}

void consoleWrite(std::string_view text) {
    if (stdoutIsTerminal()) {
        std::string safe = terminalSafe(text);
        std::lock_guard<std::mutex> guard(outputLock());
        std::string out = takeStatusAway();
        out += safe;
        out += bringStatusBack(safe);
        os::writeConsole(ConsoleStream::output, out);
        return;
    }
    std::lock_guard<std::mutex> guard(outputLock());
    if (heldOutput.empty()) heldSince = std::chrono::steady_clock::now();
    heldOutput.append(text);
    held.store(true, std::memory_order_relaxed);
    if (heldOutput.size() >= heldCap) writeHeld();
}

void consoleFlush() {
    if (!held.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> guard(outputLock());
    writeHeld();
}

int consoleFlushAged(int ageMs) {
    if (!held.load(std::memory_order_relaxed)) return -1;
    std::lock_guard<std::mutex> guard(outputLock());
    if (heldOutput.empty()) return -1;
    auto age = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - heldSince);
    if (age.count() < ageMs) return ageMs - static_cast<int>(age.count());
    writeHeld();
    return -1;
}

void consoleFlushUnlessBusy() {
    std::unique_lock<std::mutex> guard(outputLock(), std::try_to_lock);
    if (guard.owns_lock()) writeHeld();
}

void consoleWriteError(std::string_view text) {
    std::lock_guard<std::mutex> guard(outputLock());
    writeHeld();  // the two streams often share one pipe
    // Standard error usually shares the terminal: the status line must not
    // run into its text.
    os::writeConsole(ConsoleStream::output, takeStatusAway());
    static const bool errorIsTerminal = os::stderrIsTerminal();
    os::writeConsole(ConsoleStream::error, errorIsTerminal ? terminalSafe(text) : std::string(text));
    os::writeConsole(ConsoleStream::output, bringStatusBack(text));
}

void consoleStatus(std::string_view text) {
    if (!stdoutIsTerminal()) return;
    // The last column stays free: a line that fills it wraps on some terminals,
    // and a wrapped line can no longer be erased in place.
    std::string safe(leadingColumns(terminalSafe(text), consoleColumns() - 1));
    for (char& c : safe)
        if (c == '\n' || c == '\r') c = ' ';
    const size_t columns = displayWidth(safe);
    std::lock_guard<std::mutex> guard(outputLock());
    StatusLine& status = statusLine();
    std::string out = takeStatusAway();
    status.text = std::move(safe);
    status.columns = columns;
    if (!status.text.empty() && status.atLineStart) {
        out += status.text;
        status.shown = true;
    }
    os::writeConsole(ConsoleStream::output, out);
}

void setConsoleTitle(const std::string& title) {
    std::lock_guard<std::mutex> guard(outputLock());
    os::showTitle(title);
}

}  // namespace dorvan::platform
