#include "platform/sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

#include "platform/console.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Winsock starts once per process and is never shut down: sockets may be in
// use on other threads until the process ends.
void startWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

// Socket handles are small numbers in practice, so they travel as the int
// descriptors of the shared interface, -1 standing for INVALID_SOCKET.
SOCKET handleOf(int fd) { return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(fd); }
int descriptorOf(SOCKET socket) { return socket == INVALID_SOCKET ? -1 : static_cast<int>(socket); }

IoOutcome failedWith(int error) { return {SocketStatus::failed, 0, error}; }
IoOutcome lastFailure() { return failedWith(WSAGetLastError()); }

static_assert(sizeof(sockaddr_storage) <= sizeof(SocketAddress::bytes));

sockaddr* raw(SocketAddress& address) { return reinterpret_cast<sockaddr*>(address.bytes.data()); }
const sockaddr* raw(const SocketAddress& address) { return reinterpret_cast<const sockaddr*>(address.bytes.data()); }

SocketAddress fromRaw(const sockaddr* from, int length) {
    SocketAddress address;
    size_t size = std::min(static_cast<size_t>(length), sizeof address.bytes);
    std::memcpy(address.bytes.data(), from, size);
    address.length = static_cast<uint32_t>(size);
    return address;
}

bool makeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

int newTcpSocket(int family) {
    startWinsock();
    SOCKET socket = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket != INVALID_SOCKET && !makeNonBlocking(socket)) {
        closesocket(socket);
        return -1;
    }
    return descriptorOf(socket);
}

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool wouldBlock(int error) { return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS; }

}  // namespace

bool SocketAddress::isIpv6() const { return length > 0 && raw(*this)->sa_family == AF_INET6; }

uint16_t SocketAddress::port() const {
    if (isIpv6()) return ntohs(reinterpret_cast<const sockaddr_in6*>(bytes.data())->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(bytes.data())->sin_port);
}

SocketAddress SocketAddress::withPort(uint16_t port) const {
    SocketAddress copy = *this;
    if (isIpv6())
        reinterpret_cast<sockaddr_in6*>(copy.bytes.data())->sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in*>(copy.bytes.data())->sin_port = htons(port);
    return copy;
}

std::string SocketAddress::hostText() const {
    char text[NI_MAXHOST] = "";
    if (length == 0 ||
        ::getnameinfo(raw(*this), static_cast<socklen_t>(length), text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return text;
}

std::optional<Ipv4Endpoint> SocketAddress::ipv4() const {
    if (length == 0 || raw(*this)->sa_family != AF_INET) return std::nullopt;
    const auto* sin = reinterpret_cast<const sockaddr_in*>(bytes.data());
    Ipv4Endpoint endpoint;
    std::memcpy(endpoint.address.data(), &sin->sin_addr, 4);
    endpoint.port = ntohs(sin->sin_port);
    return endpoint;
}

bool SocketAddress::sameHost(const SocketAddress& other) const {
    if (length == 0 || other.length == 0 || raw(*this)->sa_family != raw(other)->sa_family) return false;
    if (isIpv6())
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(bytes.data())->sin6_addr,
                           &reinterpret_cast<const sockaddr_in6*>(other.bytes.data())->sin6_addr,
                           sizeof(in6_addr)) == 0;
    return std::memcmp(&reinterpret_cast<const sockaddr_in*>(bytes.data())->sin_addr,
                       &reinterpret_cast<const sockaddr_in*>(other.bytes.data())->sin_addr, sizeof(in_addr)) == 0;
}

bool resolveHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error) {
    startWinsock();
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int result = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (result != 0) {
        if (error) *error = systemErrorText(static_cast<unsigned long>(result));
        return false;
    }
    for (addrinfo* at = found; at; at = at->ai_next)
        if (at->ai_family == AF_INET || at->ai_family == AF_INET6)
            addresses.push_back(fromRaw(at->ai_addr, static_cast<int>(at->ai_addrlen)));
    ::freeaddrinfo(found);
    if (addresses.empty() && error) *error = "no IPv4 or IPv6 address";
    return !addresses.empty();
}

bool peerAddress(int fd, SocketAddress& address) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (::getpeername(handleOf(fd), reinterpret_cast<sockaddr*>(&storage), &length) != 0) return false;
    address = fromRaw(reinterpret_cast<sockaddr*>(&storage), length);
    return true;
}

std::string IoOutcome::text() const {
    switch (status) {
        case SocketStatus::ok: return {};
        case SocketStatus::closed: return "connection closed by the server";
        case SocketStatus::timedOut: return "timed out";
        case SocketStatus::aborted: return "aborted";
        case SocketStatus::otherReady: return "interrupted by a reply";
        case SocketStatus::failed: break;
    }
    if (!reason.empty()) return "TLS: " + reason;
    // The usual ones read as in the POSIX build.
    switch (error) {
        case WSAECONNREFUSED: return "Connection refused";
        case WSAECONNRESET: return "Connection reset by peer";
        case WSAECONNABORTED: return "Software caused connection abort";
        case WSAETIMEDOUT: return "Connection timed out";
        case WSAENETUNREACH: return "Network is unreachable";
        case WSAEHOSTUNREACH: return "No route to host";
        default: return systemErrorText(static_cast<unsigned long>(error));
    }
}

// A UDP socket connected to itself: readable while a datagram it sent to
// itself waits, which socket waits can watch like any other socket.
AbortSignal::AbortSignal() : fd_(-1) {
    startWinsock();
    SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof self;
    if (socket == INVALID_SOCKET || ::bind(socket, reinterpret_cast<sockaddr*>(&self), length) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&self), &length) != 0 ||
        ::connect(socket, reinterpret_cast<sockaddr*>(&self), length) != 0 || !makeNonBlocking(socket)) {
        if (socket != INVALID_SOCKET) closesocket(socket);
        return;
    }
    fd_ = descriptorOf(socket);
}

AbortSignal::~AbortSignal() {
    if (fd_ >= 0) closesocket(handleOf(fd_));
}

void AbortSignal::raise() {
    char one = 1;
    ::send(handleOf(fd_), &one, 1, 0);
}

void AbortSignal::clear() {
    char byte;
    while (::recv(handleOf(fd_), &byte, 1, 0) > 0) {
    }
}

// select() rather than WSAPoll(): only select() reports a refused
// non-blocking connect on every Windows version (through the except set).
SocketStatus waitFor(int fd, short events, const WaitLimit& limit, int otherFd) {
    consoleFlush();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit.timeoutMs);
    for (;;) {
        fd_set readable, writable, failed;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        SOCKET socket = handleOf(fd);
        if (events & POLLIN) FD_SET(socket, &readable);
        if (events & POLLOUT) FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        if (limit.abortFd >= 0) FD_SET(handleOf(limit.abortFd), &readable);
        if (otherFd >= 0) FD_SET(handleOf(otherFd), &readable);
        int left = remainingMs(deadline);
        timeval wait{left / 1000, (left % 1000) * 1000};
        int ready = ::select(0, &readable, &writable, &failed, &wait);
        if (ready == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEINTR) continue;
            return SocketStatus::failed;
        }
        if (limit.abortFd >= 0 && FD_ISSET(handleOf(limit.abortFd), &readable)) return SocketStatus::aborted;
        if (FD_ISSET(socket, &readable) || FD_ISSET(socket, &writable) || FD_ISSET(socket, &failed))
            return SocketStatus::ok;  // errors surface in the call that follows
        if (otherFd >= 0 && FD_ISSET(handleOf(otherFd), &readable)) return SocketStatus::otherReady;
        if (ready == 0 && left <= 0) return SocketStatus::timedOut;
    }
}

int connectTcp(const SocketAddress& to, const WaitLimit& limit, IoOutcome& outcome) {
    int fd = newTcpSocket(raw(to)->sa_family);
    if (fd < 0) {
        outcome = lastFailure();
        return -1;
    }
    if (::connect(handleOf(fd), raw(to), static_cast<int>(to.length)) != 0) {
        if (!wouldBlock(WSAGetLastError())) {
            outcome = lastFailure();
            closeSocket(fd);
            return -1;
        }
        SocketStatus waited = waitFor(fd, POLLOUT, limit);
        int error = 0;
        int length = sizeof error;
        if (waited == SocketStatus::ok &&
            ::getsockopt(handleOf(fd), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
            error = WSAGetLastError();
        if (waited != SocketStatus::ok || error != 0) {
            outcome = waited == SocketStatus::ok ? failedWith(error) : IoOutcome{waited};
            closeSocket(fd);
            return -1;
        }
    }
    outcome = {};
    return fd;
}

int listenBeside(int besideFd, SocketAddress& bound, IoOutcome& outcome) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (::getsockname(handleOf(besideFd), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        outcome = lastFailure();
        return -1;
    }
    SocketAddress local = fromRaw(reinterpret_cast<sockaddr*>(&storage), length).withPort(0);
    int fd = newTcpSocket(raw(local)->sa_family);
    length = sizeof storage;
    if (fd < 0 || ::bind(handleOf(fd), raw(local), static_cast<int>(local.length)) != 0 ||
        ::listen(handleOf(fd), 4) != 0 ||
        ::getsockname(handleOf(fd), reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        outcome = lastFailure();
        closeSocket(fd);
        return -1;
    }
    bound = fromRaw(reinterpret_cast<sockaddr*>(&storage), length);
    outcome = {};
    return fd;
}

int acceptFrom(int listenFd, const SocketAddress& peer, int watchFd, const WaitLimit& limit, IoOutcome& outcome) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit.timeoutMs);
    for (;;) {
        SocketStatus waited = waitFor(listenFd, POLLIN, {remainingMs(deadline), limit.abortFd}, watchFd);
        if (waited != SocketStatus::ok) {
            outcome = {waited};
            return -1;
        }
        sockaddr_storage storage{};
        int length = sizeof storage;
        SOCKET accepted = ::accept(handleOf(listenFd), reinterpret_cast<sockaddr*>(&storage), &length);
        if (accepted != INVALID_SOCKET) {
            int fd = descriptorOf(accepted);
            if (makeNonBlocking(accepted) && fromRaw(reinterpret_cast<sockaddr*>(&storage), length).sameHost(peer)) {
                outcome = {};
                return fd;
            }
            closeSocket(fd);  // not the server: whoever it is gets nothing
            continue;
        }
        int error = WSAGetLastError();
        if (!wouldBlock(error) && error != WSAECONNRESET) {
            outcome = failedWith(error);
            return -1;
        }
    }
}

IoOutcome receiveSome(int fd, char* buffer, size_t size, const WaitLimit& limit) {
    int chunk = static_cast<int>(std::min<size_t>(size, 1u << 30));
    for (;;) {
        SocketStatus waited = waitFor(fd, POLLIN, limit);
        if (waited != SocketStatus::ok) return {waited};
        int n = ::recv(handleOf(fd), buffer, chunk, 0);
        if (n > 0) return {SocketStatus::ok, static_cast<size_t>(n)};
        if (n == 0) return {SocketStatus::closed};
        if (!wouldBlock(WSAGetLastError())) return lastFailure();
    }
}

IoOutcome sendAll(int fd, const char* data, size_t size, const WaitLimit& limit) {
    size_t sent = 0;
    while (sent < size) {
        SocketStatus waited = waitFor(fd, POLLOUT, limit);
        if (waited != SocketStatus::ok) return {waited, sent};
        int n = ::send(handleOf(fd), data + sent, static_cast<int>(std::min<size_t>(size - sent, 1u << 30)), 0);
        if (n >= 0)
            sent += static_cast<size_t>(n);
        else if (!wouldBlock(WSAGetLastError()))
            return {SocketStatus::failed, sent, WSAGetLastError()};
    }
    return {SocketStatus::ok, sent};
}

bool connectionGone(int fd) {
    char byte;
    int n = ::recv(handleOf(fd), &byte, 1, MSG_PEEK);
    return n == 0 || (n < 0 && !wouldBlock(WSAGetLastError()));
}

void shutdownSocket(int fd) {
    if (fd >= 0) ::shutdown(handleOf(fd), SD_BOTH);
}

void closeSocket(int fd) {
    if (fd >= 0) closesocket(handleOf(fd));
}

void resetSocket(int fd) {
    if (fd < 0) return;
    linger abortive{1, 0};
    ::setsockopt(handleOf(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    closesocket(handleOf(fd));
}

}  // namespace dorvan::platform
