#include "support/test_server.h"

#include <sys/stat.h>
#include <stdexcept>

namespace dorvan::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

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

    std::string line = process_.start(argv, logPath_, 1);
    line = line.substr(0, line.find('\n'));
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
    if (port_ <= 0) {
        process_.stop();
        throw std::runtime_error("TestServer: the FTP server did not start (mode " + options_.mode +
                                 "); first output line: \"" + line + "\"; its log:\n" + log());
    }
}

std::string TestServer::log() const { return fileExists(logPath_) ? readFile(logPath_) : std::string(); }

}  // namespace dorvan::test
