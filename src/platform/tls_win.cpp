#include "platform/tls.h"

// The Windows build has no TLS library: configuring one fails with the reason,
// so a session asked for TLS never connects in plain text.
namespace dorvan::platform {
namespace {

constexpr const char* unavailable = "not available in the Windows build of Dorvan";

}  // namespace

TlsClient::TlsClient() = default;

TlsClient::~TlsClient() = default;

void TlsClient::release() {}

bool TlsClient::configure(const TlsTrust& trust, std::string* error) {
    trust_ = trust;
    *error = unavailable;
    return false;
}

bool TlsClient::retryAfterRefusal() { return false; }

TlsConnection::~TlsConnection() = default;

void TlsConnection::release() {}

IoOutcome TlsConnection::handshake(TlsClient&, TlsRole, int, const std::string&, const WaitLimit&) {
    return {.status = SocketStatus::failed, .reason = unavailable};
}

IoOutcome TlsConnection::receiveSome(char*, size_t, const WaitLimit&) { return {SocketStatus::failed}; }

IoOutcome TlsConnection::sendAll(const char*, size_t, const WaitLimit&) { return {SocketStatus::failed}; }

bool TlsConnection::pending() const { return false; }

bool TlsConnection::readIssuedSessions() { return false; }

IoOutcome TlsConnection::close(const WaitLimit&, bool) { return {}; }

void TlsConnection::closeQuietly() {}

std::string TlsConnection::summary() const { return {}; }

std::string TlsConnection::certificateProblem() const { return {}; }

IoOutcome receiveSome(int fd, TlsConnection&, char* buffer, size_t size, const WaitLimit& limit) {
    return receiveSome(fd, buffer, size, limit);
}

IoOutcome sendAll(int fd, TlsConnection&, const char* data, size_t size, const WaitLimit& limit) {
    return sendAll(fd, data, size, limit);
}

}  // namespace dorvan::platform
