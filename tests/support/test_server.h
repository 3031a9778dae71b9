#pragma once
// A real FTP server (tests/support/ftp_server.py on pyftpdlib) on 127.0.0.1,
// serving a fresh temporary folder for as long as the object lives.
#include <sys/types.h>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"

namespace dorvan::test {

struct TestServerOptions {
    std::string mode = "plain";         // "plain", "windows" or "eplf"
    std::vector<std::string> faults{};  // e.g. {"refuse-dele", "silent-command=CWD"}
    std::string user = "tester";
    std::string password = "secret";
    // When set, a JSON script played by tests/support/scripted_ftp_server.py
    // (raw replies, for misbehaving servers) instead of pyftpdlib.
    std::string script{};
};

// Starts the server or throws std::runtime_error (the test fails, with the
// server's own output in the message). The destructor stops it by PID and
// removes the served folder.
class TestServer {
public:
    explicit TestServer(TestServerOptions options = {});
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return port_; }
    const std::string& root() const { return root_; }  // the served folder, "/" on the server
    const std::string& user() const { return options_.user; }
    const std::string& password() const { return options_.password; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }
    std::string log() const;  // what the server logged so far (commands and replies)
    pid_t pid() const { return process_.pid(); }

private:
    TestServerOptions options_;
    TempDir base_{"dorvan-ftp-"};
    std::string root_;
    std::string logPath_;
    ServerProcess process_;  // after base_: stopped before the folder goes
    int port_ = 0;
};

}  // namespace dorvan::test
