#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace dorvan::test {

Pipe::Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe2 failed: ") + std::strerror(errno));
    readEnd = fds[0];
    writeEnd = fds[1];
}

Pipe::~Pipe() {
    closeFd(readEnd);
    closeFd(writeEnd);
}

int Pipe::takeRead() { return std::exchange(readEnd, -1); }
int Pipe::takeWrite() { return std::exchange(writeEnd, -1); }

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

pid_t spawnChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 ChildStreams streams, const std::string& workDir) {
    // Writing to a pipe whose reader has ended must be an error here, never a signal.
    static const bool sigpipeIgnored = (std::signal(SIGPIPE, SIG_IGN), true);
    (void)sigpipeIgnored;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int targets[] = {0, 1, 2};
    const int sources[] = {streams.in, streams.out, streams.err};
    for (int i = 0; i < 3; ++i)
        if (sources[i] >= 0) posix_spawn_file_actions_adddup2(&actions, sources[i], targets[i]);
    if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, noneBlocked;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGCHLD}) sigaddset(&defaults, signal);
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &noneBlocked);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> args, env;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);

    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
    return pid;
}

std::vector<std::string> environmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> result = overrides;
    for (char** entry = environ; *entry; ++entry) {
        std::string_view current(*entry);
        std::string_view name = current.substr(0, current.find('='));
        bool replaced = false;
        for (const auto& o : overrides)
            if (o.size() > name.size() && o.compare(0, name.size(), name) == 0 && o[name.size()] == '=')
                replaced = true;
        if (!replaced) result.emplace_back(current);
    }
    return result;
}

std::string readLines(int fd, int count, int limitMs) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::count(text.begin(), text.end(), '\n') < count) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

int endChild(pid_t pid, int signal, int graceMs) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    kill(pid, signal);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return status;
}

std::string ServerProcess::start(const std::vector<std::string>& argv, const std::string& errPath, int lines) {
    Pipe input, output;
    int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (errFd < 0) throw std::runtime_error("cannot create " + errPath);
    try {
        pid_ = spawnChild(argv, environmentWith({"PYTHONUNBUFFERED=1", "PYTHONDONTWRITEBYTECODE=1"}),
                          {input.readEnd, output.writeEnd, errFd});
    } catch (...) {
        close(errFd);
        throw;
    }
    close(errFd);
    closeFd(input.readEnd);
    closeFd(output.writeEnd);
    input_ = input.takeWrite();
    return readLines(output.readEnd, lines, 30000);
}

void ServerProcess::stop() {
    if (pid_ > 0) endChild(pid_, SIGTERM, 5000);
    pid_ = -1;
    closeFd(input_);
}

}  // namespace dorvan::test
