#pragma once
// FTP servers that speak TLS, on 127.0.0.1, for as long as the objects live.
// Each starts in its constructor or throws std::runtime_error with the reason
// (the test fails); the destructor stops it by PID and removes its folder.
#include <sys/types.h>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"

namespace dorvan::test {

struct VsftpdOptions {
    bool implicitTls = false;
    bool plain = false;  // plain FTP, no TLS at all
    bool ipv6 = false;   // on ::1 instead of 127.0.0.1
};

// vsftpd (tests/support/vsftpd_server.sh): TLS required on control and data
// connections, data connections must resume the control connection's TLS
// session; a self-signed certificate for 127.0.0.1. Or, as the options say,
// plain FTP and on ::1.
class VsftpdServer {
public:
    explicit VsftpdServer(bool implicitTls = false) : VsftpdServer(VsftpdOptions{.implicitTls = implicitTls}) {}
    explicit VsftpdServer(const VsftpdOptions& options);

    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    std::string path(const std::string& relative) const { return base_.file("root/" + relative); }
    std::string certificate() const { return base_.file("cert.pem"); }
    std::string log() const;  // every command and reply so far

private:
    TempDir base_{"dorvan-vsftpd-"};
    ServerProcess process_;
    int port_ = 0;
    std::string user_, password_;
};

// proftpd with its checksum module (tests/support/proftpd_server.sh), plain
// FTP: HASH and the X commands for `digests` (its DigestAlgorithms, such as
// "crc32 sha1"; "all" for all); `hash` false refuses HASH, though FEAT still
// lists it.
class ProftpdServer {
public:
    explicit ProftpdServer(const std::string& digests = "all", bool hash = true);

    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    std::string path(const std::string& relative) const { return base_.file("root/" + relative); }
    std::string log() const;  // "<command> <reply code>" lines

private:
    TempDir base_{"dorvan-proftpd-"};
    ServerProcess process_;
    int port_ = 0;
    std::string user_, password_;
};

// "set --host 127.0.0.1 --port N --username U --password P --keepalive 0" for
// the server, plus `extra`, and a line end.
std::string useTlsServer(const VsftpdServer& server, const std::string& extra);

// tests/support/tls_ftp_server.py: explicit TLS, any login; every download's
// TLS stream is cut short after half the file, and the reply is still 226;
// every data connection must resume a session the server issued and not used
// yet, and uploads issue none; "LIST untrusted" shows another certificate,
// and the upload of "slow-close.txt" is followed by a 20-second TLS close.
class HostileTlsServer {
public:
    HostileTlsServer();

    int port() const { return port_; }
    std::string path(const std::string& relative) const { return base_.file("root/" + relative); }
    std::string certificate() const { return base_.file("cert.pem"); }
    std::string log() const;  // the commands it got

private:
    TempDir base_{"dorvan-tls-cut-"};
    ServerProcess process_;
    int port_ = 0;
};

}  // namespace dorvan::test
