#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <mutex>

#include "platform/display_width.h"

namespace dorvan::platform {
namespace {

// A leaf lock: nothing else is locked while it is held.
std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
}

// The status line's text, already made safe and cut, and whether it is on
// the screen now. Guarded by outputLock().
struct StatusLine {
    std::string text;
    bool shown = false;
    bool atLineStart = true;  // the last output ended a line: the status line may go below it
};

StatusLine& statusLine() {
    static StatusLine line;
    return line;
}

constexpr std::string_view eraseLine = "\r\x1b[K";

// What goes before console output so that the status line is gone: called with
// outputLock() held.
std::string_view takeStatusAway() {
    StatusLine& status = statusLine();
    if (!status.shown) return {};
    status.shown = false;
    return eraseLine;
}

// The status line again after output that ended a line; outputLock() held.
std::string_view bringStatusBack(std::string_view written) {
    StatusLine& status = statusLine();
    if (!written.empty()) status.atLineStart = written.back() == '\n';
    if (status.text.empty() || !status.atLineStart) return {};
    status.shown = true;
    return status.text;
}

void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // a closed pipe must not end the program
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
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
    writeAll(STDOUT_FILENO, heldOutput);
    heldOutput.clear();
    held.store(false, std::memory_order_relaxed);
}

int wakePipe[2] = {-1, -1};
std::atomic<bool> woken{false};

void ensureWakePipe() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    });
}

// Standard input read so far: bytes before `head` are consumed, and no LF
// lies in [head, scanned). Keeping both offsets makes reading linear however
// long a line is.
std::string pending;
size_t head = 0;
size_t scanned = 0;
bool discarding = false;  // inside a line that grew past the cap
bool inputEnded = false;

void consume(size_t upTo) {
    head = upTo;
    scanned = upTo;
    if (head == pending.size()) {
        pending.clear();
        head = scanned = 0;
    } else if (head >= 65536 && head >= pending.size() / 2) {
        pending.erase(0, head);
        scanned -= head;
        head = 0;
    }
}

// The line ending at `end` (exclusive), without a CR before the LF.
LineRead takeLine(std::string& line, size_t end, size_t cap) {
    size_t length = end - head;
    if (length > 0 && pending[end - 1] == '\r') --length;
    if (discarding || length > cap) {
        discarding = false;
        return LineRead::overlong;
    }
    line.assign(pending, head, length);
    return LineRead::line;
}

}  // namespace

void consoleWrite(std::string_view text) {
    if (stdoutIsTerminal()) {
        std::string safe = terminalSafe(text);
        std::lock_guard<std::mutex> guard(outputLock());
        std::string out(takeStatusAway());
        out += safe;
        out += bringStatusBack(safe);
        writeAll(STDOUT_FILENO, out);
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
    writeAll(STDOUT_FILENO, takeStatusAway());
    static const bool errorIsTerminal = ::isatty(STDERR_FILENO) == 1;
    writeAll(STDERR_FILENO, errorIsTerminal ? terminalSafe(text) : std::string(text));
    writeAll(STDOUT_FILENO, bringStatusBack(text));
}

void consoleStatus(std::string_view text) {
    if (!stdoutIsTerminal()) return;
    // The last column stays free: a line that fills it wraps on some terminals,
    // and a wrapped line can no longer be erased in place.
    std::string safe(leadingColumns(terminalSafe(text), consoleColumns() - 1));
    for (char& c : safe)
        if (c == '\n' || c == '\r') c = ' ';
    std::lock_guard<std::mutex> guard(outputLock());
    StatusLine& status = statusLine();
    std::string out(takeStatusAway());
    status.text = std::move(safe);
    if (!status.text.empty() && status.atLineStart) {
        out += status.text;
        status.shown = true;
    }
    writeAll(STDOUT_FILENO, out);
}

size_t consoleColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

bool stdoutIsTerminal() {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    return terminal;
}

void setConsoleTitle(const std::string& title) {
    if (!stdoutIsTerminal()) return;
    std::lock_guard<std::mutex> guard(outputLock());
    writeAll(STDOUT_FILENO, "\x1b]0;" + terminalSafe(title) + "\x07");
}

void shapeConsoleWindow() {}

LineRead readConsoleLine(std::string& line, size_t cap) {
    ensureWakePipe();
    line.clear();
    for (;;) {
        if (woken.load()) return LineRead::ended;
        size_t lf = pending.find('\n', scanned);
        if (lf != std::string::npos) {
            LineRead read = takeLine(line, lf, cap);
            consume(lf + 1);
            return read;
        }
        scanned = pending.size();
        if (scanned - head > cap + 1) {
            // Too long whatever follows: keep nothing more of it.
            discarding = true;
            consume(pending.size());
        }
        if (inputEnded) {
            if (pending.empty() && !discarding) return LineRead::ended;
            LineRead read = takeLine(line, pending.size(), cap);
            consume(pending.size());
            return read;
        }
        consoleFlush();
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        int ready = ::poll(fds, wakePipe[0] >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            inputEnded = true;
            continue;
        }
        if (fds[1].revents) return LineRead::ended;
        if (fds[0].revents) {
            char buf[65536];
            ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0)
                inputEnded = true;
            else
                pending.append(buf, static_cast<size_t>(n));
        }
    }
}

bool waitForConsoleInput() {
    ensureWakePipe();
    consoleFlush();
    for (;;) {
        if (woken.load()) return false;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        int ready = ::poll(fds, wakePipe[0] >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[0].revents) return true;
        if (fds[1].revents) return false;
    }
}

void prepareConsoleWake() { ensureWakePipe(); }

void wakeConsoleReader() {
    woken.store(true);
    if (wakePipe[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &c, 1);
    }
}

}  // namespace dorvan::platform
