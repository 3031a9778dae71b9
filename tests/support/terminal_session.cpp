#include "support/terminal_session.h"

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "support/child_process.h"

namespace dorvan::test {

TerminalSession::TerminalSession(const TerminalOptions& options) {
    std::vector<std::string> environment = environmentWith(options.env);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char*> argv = {const_cast<char*>(options.binary.c_str())};
    for (const std::string& arg : options.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    winsize size{};
    size.ws_row = 40;
    size.ws_col = 120;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
}

TerminalSession::~TerminalSession() {
    if (status_ < 0 && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
}

void TerminalSession::type(const std::string& keys) {
    for (size_t done = 0; done < keys.size();) {
        ssize_t n = write(master_, keys.data() + done, keys.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw std::runtime_error("cannot type into the terminal");
        done += static_cast<size_t>(n);
    }
}

// Reads what the program wrote; false once the terminal is closed.
bool TerminalSession::pump(std::chrono::milliseconds step) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(step.count())) <= 0) return true;
    char buffer[65536];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) output_.append(buffer, static_cast<size_t>(n));
    return n > 0 || (n < 0 && errno == EINTR);
}

bool TerminalSession::waitFor(const std::string& text, size_t from, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (output_.find(text, from) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!pump(std::chrono::milliseconds(50))) return output_.find(text, from) != std::string::npos;
    }
    return true;
}

bool TerminalSession::waitForKeyByKeyInput(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        termios mode{};
        // On Linux the controlling side of a pseudo-terminal reports the modes the program set.
        if (tcgetattr(master_, &mode) == 0 && !(mode.c_lflag & ICANON)) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        pump(std::chrono::milliseconds(2));
    }
}

int TerminalSession::wait(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (status_ < 0 && std::chrono::steady_clock::now() < deadline) {
        bool open = pump(std::chrono::milliseconds(20));
        int raw = 0;
        // Once the terminal is closed the program is ending: wait for it.
        if (waitpid(pid_, &raw, open ? WNOHANG : 0) == pid_)
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    while (status_ >= 0 && pump(std::chrono::milliseconds(0))) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 0) <= 0) break;
    }
    return status_;
}

void TerminalSession::signal(int number) {
    if (status_ < 0) kill(pid_, number);
}

}  // namespace dorvan::test
