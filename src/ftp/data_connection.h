#pragma once
// The data connections of one session, one open at a time: announced to the
// server (PASV or EPSV, else PORT or EPRT), the transfer command sent (after
// REST when it goes on from an offset), with TLS protected and handshaken,
// and at the end closed and answered by the server's final reply.
//
// Passive mode connects to the control connection's peer whatever address
// the PASV reply names; active mode accepts a connection from that peer only.
// With TLS a data connection resumes a TLS session the server issued on this
// session's connections.
//
// Not locked: it runs under its session's lock, as the control session it uses.
#include <cstdint>
#include <string>

#include "ftp/control_session.h"
#include "platform/sockets.h"
#include "platform/tls.h"

namespace dorvan {

// One transfer command, and whether the server took it.
struct DataRequest {
    std::string command;     // such as "RETR f", "STOR f" or "LIST"
    char type = asciiType;   // the transfer type it runs in
    uint64_t restartAt = 0;  // > 0: REST this offset first
    bool begun = false;      // the server accepted the command (1xx): a STOR had truncated its file
};

class DataConnections {
public:
    explicit DataConnections(ControlSession& control) : control_(control) {}
    DataConnections(const DataConnections&) = delete;
    DataConnections& operator=(const DataConnections&) = delete;

    void setPassive(bool passive) { passive_ = passive; }
    // PBSZ 0 and PROT P: data connections run TLS from now on.
    bool protect();
    // A new control connection: nothing protected, no REST refused yet.
    void forget();
    // No REST was refused since the control connection opened.
    bool restartAccepted() const { return !restartRefused_; }

    // Opens the data connection of `request`, sets `fd` to it: true once it
    // is ready for the data (TLS handshaken when protected).
    bool open(DataRequest& request, int& fd);
    // The open connection's TLS; inactive when it runs none.
    platform::TlsConnection& tls() { return tls_; }
    // Closes the connection after the data moved as `moved` says (with
    // localFailure, this side failed and has noted why) and reads the
    // server's final reply: true when the data is complete and confirmed.
    bool finish(int fd, const platform::IoOutcome& moved, bool localFailure);
    // After a refused data connection: true when it is worth one more try,
    // which the caller makes.
    bool retryRefusedSession();

private:
    bool connect(DataRequest& request, int& fd);
    bool openPassive(int& fd);
    bool sendRestart(uint64_t restartAt);

    ControlSession& control_;
    bool passive_ = true;
    bool protected_ = false;       // the server accepted PROT P
    bool restartRefused_ = false;  // a REST was refused since the connect
    platform::TlsConnection tls_;
};

}  // namespace dorvan
