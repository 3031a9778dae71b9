#pragma once
// TLS for FTP connections, over OpenSSL. A TlsClient belongs to one session:
// it holds the trust settings and the TLS sessions the server issued on the
// session's connections, one of which every data connection resumes (servers
// use that to tell that a data connection comes from the client that logged
// in). A TLS 1.3 session is offered once while a fresher one is at hand: some
// servers accept each only once and issue none on an upload, so a data
// connection they refuse is worth one more try (retryAfterRefusal).
// A TlsConnection runs TLS over one connected non-blocking socket; the waits
// of a handshake or a close together obey one WaitLimit, every other wait
// obeys it alone, like the plain socket calls. Neither class locks: the
// session that owns them serialises their use.
#include <cstddef>
#include <string>
#include <vector>

#include "platform/sockets.h"

struct ssl_ctx_st;
struct ssl_st;
struct ssl_session_st;

namespace dorvan::platform {

struct TlsTrust {
    bool verify = true;  // the certificate must chain to a trusted authority and name the host
    std::string cafile;  // PEM certificates trusted besides the system's authorities; may be empty
};

class TlsClient {
public:
    TlsClient();
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // Builds a fresh context and forgets the saved sessions; false with the
    // reason when the trusted certificates cannot be loaded.
    bool configure(const TlsTrust& trust, std::string* error);
    bool verifies() const { return trust_.verify; }

    // For a data connection the server refused: true, once, when its
    // handshake (the last since forgetRefusal) resumed no session and a
    // session not offered yet has come since, so that trying again may pass.
    // Once more only after a resumed handshake.
    bool retryAfterRefusal();
    void forgetRefusal() { refused_ = false; }

private:
    friend class TlsConnection;
    struct Issued {
        ssl_session_st* session;
        bool offered;  // a TLS 1.3 session a data connection has offered: possibly spent
    };
    static int keepSession(ssl_st* ssl, ssl_session_st* session);
    ssl_session_st* sessionToOffer(bool freshOnly) const;
    void offered(ssl_session_st* session);
    void resumed(bool resumed);
    void release();

    TlsTrust trust_;
    ssl_ctx_st* context_ = nullptr;
    std::vector<Issued> sessions_;  // oldest first; a few only
    bool refused_ = false;          // the last data handshake resumed no session
    bool retried_ = false;          // retryAfterRefusal said yes since the last resumed handshake
};

enum class TlsRole { control, data };

class TlsConnection {
public:
    TlsConnection() = default;
    ~TlsConnection();  // frees the TLS state; the socket stays open
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;

    // The client handshake on `fd`, done within `limit` as a whole. `host` (a
    // name or an IP address) is what the certificate must name. A data
    // connection offers one of the client's saved sessions for resumption.
    IoOutcome handshake(TlsClient& client, TlsRole role, int fd, const std::string& host, const WaitLimit& limit);
    bool active() const { return ssl_ != nullptr; }
    void release();  // forgets the TLS state without a word to the peer

    // As the plain socket calls. receiveSome reports closed only after the
    // peer's close_notify; a connection that ends without it fails (a cut
    // stream must never pass for a complete one). Every call that fails with
    // status failed carries the TLS layer's reason; TLS failures carry EPROTO.
    IoOutcome receiveSome(char* buffer, size_t size, const WaitLimit& limit);
    IoOutcome sendAll(const char* data, size_t size, const WaitLimit& limit);
    // Reads what the peer has sent so far, without waiting and without taking
    // application data: sessions the server issued after the handshake are
    // kept (on an upload nothing else reads them). False when the peer has
    // ended the connection.
    bool readIssuedSessions();
    // Sends close_notify, after readIssuedSessions (the sessions that come
    // later are lost); with awaitPeer also reads until the peer's close
    // (close_notify or end of connection), discarding what it sends; all
    // within `limit`.
    IoOutcome close(const WaitLimit& limit, bool awaitPeer);
    // Sends close_notify if the socket takes it at once; never waits.
    void closeQuietly();

    // "TLSv1.3, cipher TLS_AES_256_GCM_SHA384", with ", session resumed" when it was.
    std::string summary() const;
    // Why the certificate would have been refused when it was not checked; empty when it passes.
    std::string certificateProblem() const;

private:
    enum class Step { done, again, closed, failed };
    Step step(int result, const WaitLimit& limit, IoOutcome& outcome);

    ssl_st* ssl_ = nullptr;
    int fd_ = -1;
};

// Reads and writes on a connection through its TLS when that runs, else
// straight on the socket.
IoOutcome receiveSome(int fd, TlsConnection& tls, char* buffer, size_t size, const WaitLimit& limit);
IoOutcome sendAll(int fd, TlsConnection& tls, const char* data, size_t size, const WaitLimit& limit);

}  // namespace dorvan::platform
