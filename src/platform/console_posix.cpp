#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/console_os.h"
#include "text/terminal_safe.h"

namespace dorvan::platform {
namespace {

int wakePipe[2] = {-1, -1};
std::atomic<bool> woken{false};

void ensureWakePipe() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    });
}

// Waits for standard input or the wake pipe: the poll's outcome in `fds`.
int pollInput(pollfd (&fds)[2]) {
    fds[0] = {STDIN_FILENO, POLLIN, 0};
    fds[1] = {wakePipe[0], POLLIN, 0};
    return ::poll(fds, wakePipe[0] >= 0 ? 2 : 1, -1);
}

}  // namespace

namespace os {

void writeConsole(ConsoleStream stream, std::string_view text) {
    const int fd = stream == ConsoleStream::output ? STDOUT_FILENO : STDERR_FILENO;
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

bool stderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::string statusErasure(size_t) { return "\r\x1b[K"; }

void showTitle(const std::string& title) {
    if (stdoutIsTerminal()) writeConsole(ConsoleStream::output, "\x1b]0;" + text::terminalSafe(title) + "\x07");
}

void startInput() { ensureWakePipe(); }

bool wakeRequested() { return woken.load(); }

InputWait awaitInput(std::string& bytes) {
    for (;;) {
        if (woken.load()) return InputWait::woken;
        pollfd fds[2];
        if (pollInput(fds) < 0) {
            if (errno == EINTR) continue;
            return InputWait::ended;
        }
        if (fds[1].revents) return InputWait::woken;
        if (!fds[0].revents) continue;
        char buf[65536];
        ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return InputWait::ended;
        bytes.append(buf, static_cast<size_t>(n));
        return InputWait::bytes;
    }
}

bool awaitInputReady() {
    for (;;) {
        if (woken.load()) return false;
        pollfd fds[2];
        int ready = pollInput(fds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[0].revents) return true;
        if (fds[1].revents) return false;
    }
}

}  // namespace os

size_t consoleColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

bool stdoutIsTerminal() {
    static const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    return terminal;
}

std::string_view lineEnd() { return "\n"; }

void shapeConsoleWindow() {}

void prepareConsoleWake() { ensureWakePipe(); }

void wakeConsoleReader() {
    woken.store(true);
    if (wakePipe[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &c, 1);
    }
}

}  // namespace dorvan::platform
