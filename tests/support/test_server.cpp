#include "support/test_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <stdexcept>

#include "support/child_process.h"

namespace dorvan::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartLimitMs = 20000;

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

    std::string line = readLines(output.readEnd, 1, kStartLimitMs);
    line = line.substr(0, line.find('\n'));
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
