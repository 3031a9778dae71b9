#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace dorvan::platform {
namespace {

// Whether a folder of PATH holds an executable `name`, as posix_spawnp would find it.
bool onPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string_view::npos) end = folders.size();
        std::string folder(folders.substr(start, end - start));
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/";
        candidate.append(name);
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

bool openDetached(const std::string& target) {
    if (!onPath("xdg-open")) return false;
    // A double fork leaves the opener to init, so no zombie remains.
    pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(target.c_str()), nullptr};
        pid_t grandchild;
        posix_spawnp(&grandchild, "xdg-open", &actions, &attr, argv, environ);
        ::_exit(0);
    }
    int status;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

std::vector<std::string> processArguments(int argc, char** argv) { return {argv, argv + argc}; }

bool openInBrowser(const std::string& address) { return openDetached(address); }

void endProcess(int status) {
    std::fflush(nullptr);
    ::_exit(status);
}

}  // namespace dorvan::platform
