#include "ftp/data_connection.h"

#include <optional>

#include "ftp/ftp_text.h"
#include "ftp/session_trace.h"

namespace dorvan {

using platform::SocketStatus;

bool DataConnections::protect() {
    protected_ = control_.command("PBSZ 0", '2') && control_.command("PROT P", '2');
    return protected_;
}

void DataConnections::forget() {
    tls_.release();
    protected_ = false;
    restartRefused_ = false;
}

// The data connection goes to the control connection's peer, with the port
// from the reply; an address the reply names is ignored.
bool DataConnections::openPassive(int& fd) {
    std::optional<uint16_t> port;
    if (control_.peer().isIpv6()) {
        if (!control_.command("EPSV", '2')) return false;
        port = parseExtendedPassiveReply(control_.reply());
        if (!port) return control_.fail("Unexpected reply to EPSV: " + control_.reply());
    } else {
        if (!control_.command("PASV", '2')) return false;
        std::optional<platform::Ipv4Endpoint> endpoint = parsePassiveReply(control_.reply());
        if (!endpoint || endpoint->port == 0) return control_.fail("Unexpected reply to PASV: " + control_.reply());
        port = endpoint->port;
    }
    platform::IoOutcome outcome;
    fd = platform::connectTcp(control_.peer().withPort(*port), control_.limit(), outcome);
    if (fd < 0 && outcome.status == SocketStatus::aborted) return control_.lose(outcome, "opening the data connection");
    if (fd < 0) return control_.fail("Cannot open the data connection: " + outcome.text(), OutcomeKind::connectionLost);
    return true;
}

// The TLS handshake follows the 1xx reply.
bool DataConnections::open(DataRequest& request, int& fd) {
    if (control_.usesTls() && !protected_ && !protect()) return false;
    control_.tlsClient().forgetRefusal();
    if (!connect(request, fd) || !protected_) return fd >= 0;
    platform::IoOutcome shaken =
        tls_.handshake(control_.tlsClient(), platform::TlsRole::data, fd, control_.host(), control_.limit());
    if (shaken.ok()) {
        traceTls("data connection", tls_);
        return true;
    }
    std::string reason = shaken.status == SocketStatus::failed ? shaken.reason : shaken.text();
    tls_.release();
    platform::resetSocket(fd);
    fd = -1;
    if (shaken.status == SocketStatus::timedOut) {
        control_.lose(shaken, "starting TLS on the data connection");
        return control_.handshakeTimedOut("TLS handshake on the data connection");
    }
    if (shaken.status == SocketStatus::aborted) return control_.lose(shaken, "starting TLS on the data connection");
    control_.readReply('2');
    return control_.fail("TLS handshake on the data connection failed: " + reason,
                         shaken.status == SocketStatus::failed ? OutcomeKind::localError : OutcomeKind::connectionLost);
}

bool DataConnections::connect(DataRequest& request, int& fd) {
    fd = -1;
    if (!control_.setType(request.type)) return false;
    if (passive_) {
        int opened;
        if (!openPassive(opened)) return false;
        if (!sendRestart(request.restartAt) || !control_.command(request.command, '1')) {
            platform::closeSocket(opened);
            return false;
        }
        request.begun = true;
        fd = opened;
        return true;
    }
    platform::IoOutcome outcome;
    platform::SocketAddress bound;
    int listener = platform::listenBeside(control_.fd(), bound, outcome);
    if (listener < 0)
        return control_.fail("Cannot open the data connection: " + outcome.text(), OutcomeKind::connectionLost);
    std::optional<platform::Ipv4Endpoint> ipv4 = bound.ipv4();
    std::string announce = ipv4 ? portCommand(*ipv4) : eprtCommand(bound.hostText(), true, bound.port());
    if (control_.command(announce, '2') && sendRestart(request.restartAt) && control_.command(request.command, '1')) {
        request.begun = true;
        // A reply that came with the 1xx is either the server's reason (such
        // as 425) or, for a small transfer, already its end (226).
        bool finalReplyWaiting = !control_.unread().empty();
        if (finalReplyWaiting && control_.unread()[0] != '2') {
            control_.readReply('2');
        } else {
            fd = platform::acceptFrom(listener, control_.peer(), finalReplyWaiting ? -1 : control_.fd(),
                                      control_.limit(), outcome);
            if (fd < 0 && outcome.status == SocketStatus::otherReady)
                control_.readReply('2');  // the server's reason, such as 425
            else if (fd < 0)
                control_.lose(outcome, "waiting for the data connection");
        }
    }
    platform::closeSocket(listener);
    return fd >= 0;
}

bool DataConnections::sendRestart(uint64_t restartAt) {
    if (restartAt == 0 || control_.command("REST " + std::to_string(restartAt), '3')) return true;
    if (!control_.note().empty()) return false;
    restartRefused_ = true;  // announced but refused: the next try starts over
    return control_.fail("REST refused: " + control_.reply(), OutcomeKind::refusedTransient);
}

// With TLS, the data is complete only when the TLS close came (the download
// stops at it) and ours went out and was answered (uploads wait for that).
bool DataConnections::finish(int fd, const platform::IoOutcome& movedData, bool localFailure) {
    platform::IoOutcome moved = movedData;
    // The close reads the sessions the server issued; a failed transfer's are
    // read too: they may serve the next.
    if (tls_.active()) {
        if (moved.ok() && !localFailure)
            moved = tls_.close(control_.limit(), true);
        else
            tls_.readIssuedSessions();
    }
    std::string movedText = moved.text();
    tls_.release();
    if (moved.ok() && !localFailure)
        platform::closeSocket(fd);
    else
        platform::resetSocket(fd);  // the server sees a broken transfer, not a complete one
    if (moved.status == SocketStatus::timedOut || moved.status == SocketStatus::aborted)
        return control_.lose(moved, "moving data");
    std::string localNote = localFailure ? control_.note() : std::string();
    bool confirmed = control_.readReply('2');
    if (localFailure) return control_.fail(localNote, OutcomeKind::localError);
    if (!moved.ok())
        return confirmed ? control_.fail("Data connection failed: " + movedText, OutcomeKind::connectionLost) : false;
    return confirmed;
}

// Some servers take each TLS session once only and issue none on an upload:
// a data connection they refused for the session it offered is worth one more
// try when a fresh session came with the refusal.
bool DataConnections::retryRefusedSession() {
    const std::string& reply = control_.reply();
    if (control_.isLost() || !(reply.starts_with("425") || reply.starts_with("522")) ||
        !control_.tlsClient().retryAfterRefusal())
        return false;
    traceNote("TLS data connection: session not resumed, trying once more\n");
    control_.clearNote();
    return true;
}

}  // namespace dorvan
