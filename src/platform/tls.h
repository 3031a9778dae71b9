#pragma once
// TLS for FTP connections, over OpenSSL. A TlsClient belongs to one session:
// it holds the trust settings and the newest TLS session the server issued on
// any of the session's connections, which every data connection resumes
// (servers use that to tell that a data connection comes from the client that
// logged in; some accept each session only once, and issue a fresh one on the
// data connection). A
// TlsConnection runs TLS over one connected non-blocking socket; every wait
// obeys a WaitLimit like the plain socket calls. Neither class locks: the
// session that owns them serialises their use.
#include <cstddef>
#include <string>

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

    // Builds a fresh context and forgets the saved session; false with the
    // reason when the trusted certificates cannot be loaded.
    bool configure(const TlsTrust& trust, std::string* error);
    bool verifies() const { return trust_.verify; }

private:
    friend class TlsConnection;
    static int keepSession(ssl_st* ssl, ssl_session_st* session);
    void release();

    TlsTrust trust_;
    ssl_ctx_st* context_ = nullptr;
    ssl_session_st* session_ = nullptr;  // the newest session the server issued
};

enum class TlsRole { control, data };

class TlsConnection {
public:
    TlsConnection() = default;
    ~TlsConnection();  // frees the TLS state; the socket stays open
    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;

    // The client handshake on `fd`. `host` (a name or an IP address) is what
    // the certificate must name. A data connection offers the client's
    // saved session for resumption.
    IoOutcome handshake(TlsClient& client, TlsRole role, int fd, const std::string& host, const WaitLimit& limit);
    bool active() const { return ssl_ != nullptr; }
    void release();  // forgets the TLS state without a word to the peer

    // As the plain socket calls. receiveSome reports closed only after the
    // peer's close_notify; a connection that ends without it fails (a cut
    // stream must never pass for a complete one). Every call that fails with
    // status failed carries the TLS layer's reason; TLS failures carry EPROTO.
    IoOutcome receiveSome(char* buffer, size_t size, const WaitLimit& limit);
    IoOutcome sendAll(const char* data, size_t size, const WaitLimit& limit);
    // True when decrypted bytes are waiting, so a poll of the socket would not see them.
    bool pending() const;
    // Sends close_notify; with awaitPeer also reads until the peer's close
    // (close_notify or end of connection), discarding what it sends.
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
    std::string host_;
};

// Reads and writes on a connection through its TLS when that runs, else
// straight on the socket.
IoOutcome receiveSome(int fd, TlsConnection& tls, char* buffer, size_t size, const WaitLimit& limit);
IoOutcome sendAll(int fd, TlsConnection& tls, const char* data, size_t size, const WaitLimit& limit);

}  // namespace dorvan::platform
