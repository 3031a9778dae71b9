#pragma once
// A vsftpd server on 127.0.0.1 that demands TLS on control and data
// connections (tests/support/vsftpd_server.sh), for as long as the object lives.
#include <sys/types.h>
#include <string>

#include "support/files.h"

namespace dorvan::test {

struct VsftpdOptions {
    bool implicitTls = false;  // TLS from the first byte instead of AUTH TLS
};

// Starts the server or throws std::runtime_error with the reason (the test
// fails). The destructor stops it by PID and removes its folder.
class VsftpdServer {
public:
    explicit VsftpdServer(VsftpdOptions options = {});
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    std::string root() const { return base_.file("root"); }  // the served folder
    std::string path(const std::string& relative) const { return root() + "/" + relative; }
    std::string certificate() const { return base_.file("cert.pem"); }  // self-signed, for 127.0.0.1
    std::string log() const;                                            // every command and reply so far

private:
    void stop();

    TempDir base_{"dorvan-vsftpd-"};
    pid_t pid_ = -1;
    int input_ = -1;  // held open: the server ends when it closes
    int port_ = 0;
    std::string user_, password_;
};

}  // namespace dorvan::test
