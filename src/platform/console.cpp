#include "platform/console.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace dorvan::platform {
namespace {

std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
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

int wakePipe[2] = {-1, -1};
std::atomic<bool> woken{false};

void ensureWakePipe() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    });
}

std::string pending;  // bytes read past the last returned line
bool inputEnded = false;

}  // namespace

void consoleWrite(std::string_view text) {
    std::lock_guard<std::mutex> guard(outputLock());
    writeAll(STDOUT_FILENO, text);
}

void consoleWriteError(std::string_view text) {
    std::lock_guard<std::mutex> guard(outputLock());
    writeAll(STDERR_FILENO, text);
}

bool stdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void setConsoleTitle(const std::string& title) {
    if (stdoutIsTerminal()) consoleWrite("\x1b]0;" + title + "\x07");
}

bool readConsoleLine(std::string& line) {
    ensureWakePipe();
    line.clear();
    for (;;) {
        if (woken.load()) return false;
        size_t lf = pending.find('\n');
        if (lf != std::string::npos) {
            line = pending.substr(0, lf);
            pending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        if (inputEnded) {
            if (pending.empty()) return false;
            line.swap(pending);
            pending.clear();
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        int ready = ::poll(fds, wakePipe[0] >= 0 ? 2 : 1, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            inputEnded = true;
            continue;
        }
        if (fds[1].revents) return false;
        if (fds[0].revents) {
            char buf[4096];
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
    for (;;) {
        if (woken.load()) return false;
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        int ready = ::poll(fds, wakePipe[0] >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || fds[0].revents) return true;
        if (fds[1].revents) return false;
    }
}

void wakeConsoleReader() {
    woken.store(true);
    if (wakePipe[1] >= 0) {
        char c = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe[1], &c, 1);
    }
}

}  // namespace dorvan::platform
