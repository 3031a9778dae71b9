#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/console.h"

namespace dorvan::platform {
namespace {

using Clock = std::chrono::steady_clock;

IoOutcome failedWith(int error) { return {SocketStatus::failed, 0, error}; }

static_assert(sizeof(sockaddr_storage) <= sizeof(SocketAddress::bytes));

sockaddr* raw(SocketAddress& address) { return reinterpret_cast<sockaddr*>(address.bytes.data()); }
const sockaddr* raw(const SocketAddress& address) { return reinterpret_cast<const sockaddr*>(address.bytes.data()); }

SocketAddress fromRaw(const sockaddr* from, socklen_t length) {
    SocketAddress address;
    length = std::min<socklen_t>(length, sizeof address.bytes);
    std::memcpy(address.bytes.data(), from, length);
    address.length = length;
    return address;
}

int newTcpSocket(int family) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP); }

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

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
    if (length == 0 || ::getnameinfo(raw(*this), length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return {};
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
    return reinterpret_cast<const sockaddr_in*>(bytes.data())->sin_addr.s_addr ==
           reinterpret_cast<const sockaddr_in*>(other.bytes.data())->sin_addr.s_addr;
}

bool resolveHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error) {
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int result = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (result != 0) {
        if (error) *error = result == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(result);
        return false;
    }
    for (addrinfo* at = found; at; at = at->ai_next)
        if (at->ai_family == AF_INET || at->ai_family == AF_INET6)
            addresses.push_back(fromRaw(at->ai_addr, at->ai_addrlen));
    ::freeaddrinfo(found);
    if (addresses.empty() && error) *error = "no IPv4 or IPv6 address";
    return !addresses.empty();
}

bool peerAddress(int fd, SocketAddress& address) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return false;
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
    return reason.empty() ? std::strerror(error) : "TLS: " + reason;
}

AbortSignal::AbortSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

AbortSignal::~AbortSignal() {
    if (fd_ >= 0) ::close(fd_);
}

void AbortSignal::raise() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void AbortSignal::clear() {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(fd_, &count, sizeof count);
}

SocketStatus waitFor(int fd, short events, const WaitLimit& limit, int otherFd) {
    consoleFlush();
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit.timeoutMs);
    for (;;) {
        pollfd fds[3] = {{fd, events, 0}, {limit.abortFd, POLLIN, 0}, {otherFd, POLLIN, 0}};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        int ready = ::poll(fds, 3, left > 0 ? static_cast<int>(left) : 0);  // negative fds are skipped
        if (ready < 0) {
            if (errno == EINTR) continue;
            return SocketStatus::failed;
        }
        if (fds[1].revents) return SocketStatus::aborted;
        if (fds[0].revents) return SocketStatus::ok;  // errors surface in the call that follows
        if (fds[2].revents) return SocketStatus::otherReady;
        if (ready == 0 && left <= 0) return SocketStatus::timedOut;
    }
}

int connectTcp(const SocketAddress& to, const WaitLimit& limit, IoOutcome& outcome) {
    int fd = newTcpSocket(raw(to)->sa_family);
    if (fd < 0) {
        outcome = failedWith(errno);
        return -1;
    }
    if (::connect(fd, raw(to), to.length) != 0) {
        if (errno != EINPROGRESS) {
            outcome = failedWith(errno);
            ::close(fd);
            return -1;
        }
        SocketStatus waited = waitFor(fd, POLLOUT, limit);
        int error = 0;
        socklen_t length = sizeof error;
        if (waited == SocketStatus::ok && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        if (waited != SocketStatus::ok || error != 0) {
            outcome = waited == SocketStatus::ok ? failedWith(error) : IoOutcome{waited};
            ::close(fd);
            return -1;
        }
    }
    outcome = {};
    return fd;
}

int listenBeside(int besideFd, SocketAddress& bound, IoOutcome& outcome) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(besideFd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        outcome = failedWith(errno);
        return -1;
    }
    SocketAddress local = fromRaw(reinterpret_cast<sockaddr*>(&storage), length).withPort(0);
    int fd = newTcpSocket(raw(local)->sa_family);
    length = sizeof storage;
    if (fd < 0 || ::bind(fd, raw(local), local.length) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        outcome = failedWith(errno);
        if (fd >= 0) ::close(fd);
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
        socklen_t length = sizeof storage;
        int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&storage), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            if (fromRaw(reinterpret_cast<sockaddr*>(&storage), length).sameHost(peer)) {
                outcome = {};
                return fd;
            }
            ::close(fd);  // not the server: whoever it is gets nothing
            continue;
        }
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
            outcome = failedWith(errno);
            return -1;
        }
    }
}

IoOutcome receiveSome(int fd, char* buffer, size_t size, const WaitLimit& limit) {
    for (;;) {
        SocketStatus waited = waitFor(fd, POLLIN, limit);
        if (waited != SocketStatus::ok) return {waited};
        ssize_t n = ::recv(fd, buffer, size, MSG_DONTWAIT);
        if (n > 0) return {SocketStatus::ok, static_cast<size_t>(n)};
        if (n == 0) return {SocketStatus::closed};
        if (errno != EAGAIN && errno != EINTR) return failedWith(errno);
    }
}

IoOutcome sendAll(int fd, const char* data, size_t size, const WaitLimit& limit) {
    size_t sent = 0;
    while (sent < size) {
        SocketStatus waited = waitFor(fd, POLLOUT, limit);
        if (waited != SocketStatus::ok) return {waited, sent};
        ssize_t n = ::send(fd, data + sent, size - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0)
            sent += static_cast<size_t>(n);
        else if (errno != EAGAIN && errno != EINTR)
            return {SocketStatus::failed, sent, errno};
    }
    return {SocketStatus::ok, sent};
}

bool connectionGone(int fd) {
    char byte;
    ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void shutdownSocket(int fd) {
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void closeSocket(int fd) {
    if (fd >= 0) ::close(fd);
}

void resetSocket(int fd) {
    if (fd < 0) return;
    linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(fd);
}

}  // namespace dorvan::platform
