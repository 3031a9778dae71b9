#include "support/vsftpd_server.h"

#include <fcntl.h>
#include <unistd.h>
#include <csignal>
#include <sstream>
#include <stdexcept>

#include "support/child_process.h"

namespace dorvan::test {

VsftpdServer::VsftpdServer(VsftpdOptions options) {
    std::vector<std::string> argv = {"/bin/bash", DORVAN_SOURCE_DIR "/tests/support/vsftpd_server.sh", base_.path()};
    if (options.implicitTls) argv.push_back("--implicit");
    std::string errPath = base_.file("start.err");
    Pipe input, output;
    int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (errFd < 0) throw std::runtime_error("VsftpdServer: cannot create " + errPath);
    try {
        pid_ = spawnChild(argv, environmentWith({}), {input.readEnd, output.writeEnd, errFd});
    } catch (...) {
        close(errFd);
        throw;
    }
    close(errFd);
    closeFd(input.readEnd);
    closeFd(output.writeEnd);
    input_ = input.takeWrite();

    std::istringstream lines(readLines(output.readEnd, 2, 30000));
    std::string word;
    while (lines >> word) {
        if (word == "PORT") lines >> port_;
        if (word == "USER") lines >> user_ >> password_;
    }
    if (port_ <= 0 || password_.empty()) {
        stop();
        throw std::runtime_error("VsftpdServer: vsftpd did not start: " + readFile(errPath));
    }
}

VsftpdServer::~VsftpdServer() { stop(); }

void VsftpdServer::stop() {
    if (pid_ > 0) endChild(pid_, SIGTERM, 5000);
    pid_ = -1;
    closeFd(input_);
}

std::string VsftpdServer::log() const {
    std::string path = base_.file("vsftpd.log");
    return fileExists(path) ? readFile(path) : std::string();
}

}  // namespace dorvan::test
