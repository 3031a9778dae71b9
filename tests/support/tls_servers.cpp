#include "support/tls_servers.h"

#include <sys/stat.h>
#include <sstream>
#include <stdexcept>

#include "support/shell_command.h"

namespace dorvan::test {
namespace {

// Starts a server script that prints "PORT n" and "USER name password" once it listens.
void startServer(ServerProcess& process, const TempDir& base, const std::vector<std::string>& argv,
                 const std::string& name, int& port, std::string& user, std::string& password) {
    std::istringstream lines(process.start(argv, base.file("start.err"), 2));
    for (std::string word; lines >> word;) {
        if (word == "PORT") lines >> port;
        if (word == "USER") lines >> user >> password;
    }
    if (port <= 0 || password.empty()) {
        process.stop();
        throw std::runtime_error(name + " did not start: " + readFile(base.file("start.err")));
    }
}

}  // namespace

VsftpdServer::VsftpdServer(const VsftpdOptions& options) {
    std::vector<std::string> argv = {"/bin/bash", DORVAN_SOURCE_DIR "/tests/support/vsftpd_server.sh", base_.path()};
    if (options.implicitTls) argv.push_back("--implicit");
    if (options.plain) argv.push_back("--plain");
    if (options.ipv6) argv.push_back("--ipv6");
    startServer(process_, base_, argv, "vsftpd", port_, user_, password_);
}

ProftpdServer::ProftpdServer(const std::string& digests, bool hash) {
    std::vector<std::string> argv = {"/bin/bash", DORVAN_SOURCE_DIR "/tests/support/proftpd_server.sh", base_.path(),
                                     "--digests", digests};
    if (!hash) argv.push_back("--no-hash");
    startServer(process_, base_, argv, "proftpd", port_, user_, password_);
}

std::string ProftpdServer::log() const { return readFile(base_.file("commands.log")); }

std::string VsftpdServer::log() const { return readFile(base_.file("vsftpd.log")); }

std::string useTlsServer(const VsftpdServer& server, const std::string& extra) {
    return "set --host 127.0.0.1 --port " + std::to_string(server.port()) + " --username " + server.user() +
           " --password " + server.password() + " --keepalive 0 " + extra + "\n";
}

HostileTlsServer::HostileTlsServer() {
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

std::string HostileTlsServer::log() const { return readFile(base_.file("commands.log")); }

}  // namespace dorvan::test
