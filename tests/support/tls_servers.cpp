#include "support/tls_servers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <sstream>
#include <stdexcept>

#include "support/child_process.h"
#include "support/shell_command.h"

namespace dorvan::test {

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

VsftpdServer::VsftpdServer(bool implicitTls) {
    std::vector<std::string> argv = {"/bin/bash", DORVAN_SOURCE_DIR "/tests/support/vsftpd_server.sh", base_.path()};
    if (implicitTls) argv.push_back("--implicit");
    std::istringstream lines(process_.start(argv, base_.file("start.err"), 2));
    for (std::string word; lines >> word;) {
        if (word == "PORT") lines >> port_;
        if (word == "USER") lines >> user_ >> password_;
    }
    if (port_ <= 0 || password_.empty()) {
        process_.stop();
        throw std::runtime_error("vsftpd did not start: " + readFile(base_.file("start.err")));
    }
}

std::string VsftpdServer::log() const { return readFile(base_.file("vsftpd.log")); }

CutShortTlsServer::CutShortTlsServer() {
    mkdir(base_.file("root").c_str(), 0755);
    std::string made = commandOutput(
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout " +
        shellQuoted(base_.file("key.pem")) + " -out " + shellQuoted(certificate()));
    if (!fileExists(certificate())) throw std::runtime_error("openssl made no certificate: " + made);
    std::vector<std::string> argv = {"/usr/bin/python3",
                                     DORVAN_SOURCE_DIR "/tests/support/tls_ftp_server.py",
                                     "--root",
                                     base_.file("root"),
                                     "--cert",
                                     certificate(),
                                     "--key",
                                     base_.file("key.pem")};
    std::string line = process_.start(argv, base_.file("commands.log"), 1);
    if (line.rfind("PORT ", 0) == 0) port_ = std::atoi(line.c_str() + 5);
    if (port_ <= 0) {
        process_.stop();
        throw std::runtime_error("the TLS test server did not start: " + log());
    }
}

std::string CutShortTlsServer::log() const { return readFile(base_.file("commands.log")); }

}  // namespace dorvan::test
