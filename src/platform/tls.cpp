#include "platform/tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <utility>

#include "platform/sockets_os.h"
#include "platform/tls_os.h"

namespace dorvan::platform {
namespace {

// Sessions kept per client: enough for the tickets of a few connections.
constexpr size_t keptSessions = 8;

// One limit for a whole exchange (a handshake, a close) rather than for each
// of its waits: a peer that sends a byte now and then cannot stretch it.
class Deadline {
public:
    explicit Deadline(const WaitLimit& limit)
        : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limit.timeoutMs)),
          abortFd_(limit.abortFd) {}
    WaitLimit left() const {
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
        return {static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX)), abortFd_};
    }

private:
    std::chrono::steady_clock::time_point end_;
    int abortFd_;
};

// The reason of the oldest queued OpenSSL error, for messages; clears the queue.
std::string queuedReason() {
    unsigned long code = ERR_peek_error();
    const char* reason = code && !ERR_SYSTEM_ERROR(code) ? ERR_reason_error_string(code) : nullptr;
    std::string text = !code                    ? "unknown error"
                       : ERR_SYSTEM_ERROR(code) ? os::errorText(ERR_GET_REASON(code))
                       : reason                 ? reason
                                                : "error " + std::to_string(code);
    ERR_clear_error();
    return text;
}

}  // namespace

TlsClient::TlsClient() = default;

TlsClient::~TlsClient() { release(); }

void TlsClient::release() {
    for (const Issued& issued : sessions_) SSL_SESSION_free(issued.session);
    sessions_.clear();
    if (context_) SSL_CTX_free(context_);
    context_ = nullptr;
}

bool TlsClient::configure(const TlsTrust& trust, std::string* error) {
    release();
    trust_ = trust;
    ERR_clear_error();
    context_ = SSL_CTX_new(TLS_client_method());
    if (!context_) {
        *error = "TLS is not available: " + queuedReason();
        return false;
    }
    SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION);
    SSL_CTX_set_mode(context_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_app_data(context_, this);
    SSL_CTX_set_session_cache_mode(context_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(context_, &TlsClient::keepSession);
    os::addSystemAuthorities(context_);  // none to add: cafile may do
    if (!trust.cafile.empty() && SSL_CTX_load_verify_locations(context_, trust.cafile.c_str(), nullptr) != 1) {
        *error = "cannot load the trusted certificates of " + trust.cafile + ": " + queuedReason();
        release();
        return false;
    }
    return true;
}

// A fresh session makes the offered ones useless, and the oldest gives way.
int TlsClient::keepSession(ssl_st* ssl, ssl_session_st* session) {
    auto* client = static_cast<TlsClient*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    std::vector<Issued>& kept = client->sessions_;
    std::erase_if(kept, [](const Issued& issued) {
        if (issued.offered) SSL_SESSION_free(issued.session);
        return issued.offered;
    });
    if (kept.size() == keptSessions) {
        SSL_SESSION_free(kept.front().session);
        kept.erase(kept.begin());
    }
    kept.push_back({session, false});
    return 1;  // the reference is ours now
}

// The newest session not offered yet; else the newest offered one, which a
// server that accepts a session more than once still takes. OpenSSL marks the
// session last issued on a connection that failed as not resumable.
ssl_session_st* TlsClient::sessionToOffer(bool freshOnly) const {
    ssl_session_st* spent = nullptr;
    for (auto kept = sessions_.rbegin(); kept != sessions_.rend(); ++kept) {
        if (!SSL_SESSION_is_resumable(kept->session)) continue;
        if (!kept->offered) return kept->session;
        if (!spent) spent = kept->session;
    }
    return freshOnly ? nullptr : spent;
}

bool TlsClient::retryAfterRefusal() {
    if (!refused_ || retried_ || !sessionToOffer(true)) return false;
    retried_ = true;
    return true;
}

void TlsClient::resumed(bool resumed) {
    refused_ = !resumed;
    if (resumed) retried_ = false;
}

void TlsClient::offered(ssl_session_st* session) {
    // Earlier versions' sessions serve again and again.
    if (SSL_SESSION_get_protocol_version(session) != TLS1_3_VERSION) return;
    for (Issued& issued : sessions_)
        if (issued.session == session) issued.offered = true;
}

TlsConnection::~TlsConnection() { release(); }

void TlsConnection::release() {
    if (ssl_) SSL_free(ssl_);
    ssl_ = nullptr;
    fd_ = -1;
}

// Turns the result of one OpenSSL call into the next step; waits when it
// needs the socket to be readable or writable.
TlsConnection::Step TlsConnection::step(int result, const WaitLimit& limit, IoOutcome& outcome) {
    int code = SSL_get_error(ssl_, result);
    int savedError = os::lastSocketError();
    short events = code == SSL_ERROR_WANT_READ ? os::readable : code == SSL_ERROR_WANT_WRITE ? os::writable : 0;
    if (events) {
        ERR_clear_error();
        SocketStatus waited = waitFor(fd_, events, limit);
        if (waited == SocketStatus::ok) return Step::again;
        outcome = {waited};
        return Step::failed;
    }
    if (code == SSL_ERROR_ZERO_RETURN) {
        outcome = {SocketStatus::closed};
        return Step::closed;
    }
    unsigned long queued = ERR_peek_error();
    outcome = {SocketStatus::failed, 0, EPROTO};
    if (code == SSL_ERROR_SYSCALL && queued == 0) {
        ERR_clear_error();
        if (savedError != 0) {
            outcome = {SocketStatus::failed, 0, savedError, os::errorText(savedError)};
            return Step::failed;
        }
        outcome.reason = "the connection ended without its TLS close (cut short)";
    } else if (ERR_GET_REASON(queued) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
        ERR_clear_error();
        outcome.reason = "the connection ended without its TLS close (cut short)";
    } else if (ERR_GET_REASON(queued) == SSL_R_CERTIFICATE_VERIFY_FAILED) {
        ERR_clear_error();
        outcome.reason = std::string("the server's certificate is not trusted: ") +
                         X509_verify_cert_error_string(SSL_get_verify_result(ssl_));
    } else {
        outcome.reason = queuedReason();
    }
    return Step::failed;
}

IoOutcome TlsConnection::handshake(TlsClient& client, TlsRole role, int fd, const std::string& host,
                                   const WaitLimit& limit) {
    release();
    ERR_clear_error();
    IoOutcome outcome;
    if (!client.context_ || !(ssl_ = SSL_new(client.context_)) || SSL_set_fd(ssl_, fd) != 1) {
        IoOutcome unavailable{SocketStatus::failed, 0, EPROTO, "TLS is not available: " + queuedReason()};
        release();
        return unavailable;
    }
    fd_ = fd;
    // An IP address, else a name.
    if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str()) != 1) {
        SSL_set_tlsext_host_name(ssl_, host.c_str());
        SSL_set1_host(ssl_, host.c_str());
    }
    // Unchecked, the verification still runs, so certificateProblem() can tell what it found.
    SSL_set_verify(ssl_, client.trust_.verify ? SSL_VERIFY_PEER : SSL_VERIFY_NONE, nullptr);
    ssl_session_st* offer = role == TlsRole::data ? client.sessionToOffer(false) : nullptr;
    if (offer) {
        SSL_set_session(ssl_, offer);
        client.offered(offer);
    }
    const Deadline deadline(limit);
    for (;;) {
        int result = SSL_connect(ssl_);
        if (result == 1) {
            if (role == TlsRole::data) client.resumed(SSL_session_reused(ssl_) == 1);
            return {};
        }
        Step next = step(result, deadline.left(), outcome);
        if (next == Step::again) continue;
        if (next == Step::closed || outcome.status == SocketStatus::closed) {
            outcome = {SocketStatus::failed, 0, EPROTO, "the server closed the connection during the TLS handshake"};
        }
        return outcome;
    }
}

IoOutcome TlsConnection::receiveSome(char* buffer, size_t size, const WaitLimit& limit) {
    IoOutcome outcome;
    for (;;) {
        ERR_clear_error();
        size_t read = 0;
        int result = SSL_read_ex(ssl_, buffer, size, &read);
        if (result == 1) return {SocketStatus::ok, read};
        if (step(result, limit, outcome) != Step::again) return outcome;
    }
}

IoOutcome TlsConnection::sendAll(const char* data, size_t size, const WaitLimit& limit) {
    IoOutcome outcome;
    size_t sent = 0;
    while (sent < size) {
        ERR_clear_error();
        size_t written = 0;
        int result = SSL_write_ex(ssl_, data + sent, size - sent, &written);
        if (result == 1) {
            sent += written;
            continue;
        }
        if (step(result, limit, outcome) != Step::again) {
            outcome.count = sent;
            return outcome;
        }
    }
    return {SocketStatus::ok, sent};
}

// OpenSSL drops sessions that come after our close_notify. A connection
// broken otherwise than by its end is left for the close to report.
bool TlsConnection::readIssuedSessions() {
    ERR_clear_error();
    char byte;
    size_t peeked = 0;
    os::clearSocketError();
    int result = SSL_peek_ex(ssl_, &byte, 1, &peeked);
    int savedError = os::lastSocketError();
    if (result == 1) return true;
    int code = SSL_get_error(ssl_, result);
    unsigned long queued = ERR_peek_error();
    ERR_clear_error();
    return !(code == SSL_ERROR_ZERO_RETURN || (code == SSL_ERROR_SYSCALL && queued == 0 && savedError == 0) ||
             ERR_GET_REASON(queued) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
}

IoOutcome TlsConnection::close(const WaitLimit& limit, bool awaitPeer) {
    // When the peer has ended, ours is a courtesy it may no longer read.
    if (!readIssuedSessions() || (SSL_get_shutdown(ssl_) & SSL_RECEIVED_SHUTDOWN)) {
        closeQuietly();
        return {};
    }
    const Deadline deadline(limit);
    IoOutcome outcome;
    int result;
    for (;;) {
        ERR_clear_error();
        result = SSL_shutdown(ssl_);
        if (result >= 0) break;
        if (step(result, deadline.left(), outcome) != Step::again) return outcome;
    }
    if (result == 1 || !awaitPeer) return {};
    char scratch[4096];
    for (;;) {
        outcome = receiveSome(scratch, sizeof scratch, deadline.left());
        if (outcome.ok()) continue;
        // Any end of the peer's side will do: our close_notify is out.
        if (outcome.status == SocketStatus::closed || outcome.status == SocketStatus::failed) return {};
        return outcome;
    }
}

void TlsConnection::closeQuietly() {
    if (!ssl_) return;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
}

std::string TlsConnection::summary() const {
    if (!ssl_) return {};
    std::string text = std::string(SSL_get_version(ssl_)) + ", cipher " + SSL_get_cipher_name(ssl_);
    if (SSL_session_reused(ssl_)) text += ", session resumed";
    return text;
}

std::string TlsConnection::certificateProblem() const {
    if (!ssl_) return {};
    long result = SSL_get_verify_result(ssl_);
    return result == X509_V_OK ? std::string() : X509_verify_cert_error_string(result);
}

IoOutcome receiveSome(int fd, TlsConnection& tls, char* buffer, size_t size, const WaitLimit& limit) {
    return tls.active() ? tls.receiveSome(buffer, size, limit) : receiveSome(fd, buffer, size, limit);
}

IoOutcome sendAll(int fd, TlsConnection& tls, const char* data, size_t size, const WaitLimit& limit) {
    return tls.active() ? tls.sendAll(data, size, limit) : sendAll(fd, data, size, limit);
}

}  // namespace dorvan::platform
