#include "support/test_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "support/child_process.h"

namespace dorvan::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartLimitMs = 20000;

// Reads the child's first output line, up to the limit; empty when none came.
std::string readFirstLine(int fd, int limitMs) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (text.find('\n') == std::string::npos) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return {};
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        char buf[256];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        text.append(buf, static_cast<size_t>(n));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

TestServer::TestServer(TestServerOptions options) : options_(std::move(options)) {
    root_ = base_.file("root");
    logPath_ = base_.file("server.log");
    mkdir(root_.c_str(), 0755);

    std::vector<std::string> argv = {kPython,      DORVAN_SOURCE_DIR "/tests/support/ftp_server.py",
                                     "--root",     root_,
                                     "--user",     options_.user,
                                     "--password", options_.password,
                                     "--mode",     options_.mode};
    for (const auto& fault : options_.faults) {
        argv.push_back("--fault");
        argv.push_back(fault);
    }
    if (!options_.script.empty()) {
        std::string scriptPath = base_.file("script.json");
        writeFile(scriptPath, options_.script);
        argv = {kPython, DORVAN_SOURCE_DIR "/tests/support/scripted_ftp_server.py", "--script", scriptPath};
    }

    Pipe input, output;
    int logFd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) throw std::runtime_error("TestServer: cannot create " + logPath_);
    try {
        pid_ = spawnChild(argv, environmentWith({"PYTHONUNBUFFERED=1", "PYTHONDONTWRITEBYTECODE=1"}),
                          {input.readEnd, output.writeEnd, logFd});
    } catch (...) {
        close(logFd);
        throw;
    }
    close(logFd);
    closeFd(input.readEnd);
    closeFd(output.writeEnd);
    input_ = input.takeWrite();

    std::string line = readFirstLine(output.readEnd, kStartLimitMs);
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
    if (port_ <= 0) {
        stop();
        throw std::runtime_error("TestServer: the FTP server did not start (mode " + options_.mode +
                                 "); first output line: \"" + line + "\"; its log:\n" + log());
    }
}

TestServer::~TestServer() { stop(); }

void TestServer::stop() {
    if (pid_ > 0) endChild(pid_, SIGTERM, 5000);
    pid_ = -1;
    closeFd(input_);
}

std::string TestServer::log() const { return fileExists(logPath_) ? readFile(logPath_) : std::string(); }

}  // namespace dorvan::test
