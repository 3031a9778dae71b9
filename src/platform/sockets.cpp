#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace dorvan::platform {
namespace {

using Clock = std::chrono::steady_clock;

IoOutcome failedWith(int error) { return {SocketStatus::failed, 0, error}; }

sockaddr_in toSockaddr(const Ipv4Endpoint& endpoint) {
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    std::memcpy(&sin.sin_addr, endpoint.address.data(), 4);
    sin.sin_port = htons(endpoint.port);
    return sin;
}

Ipv4Endpoint fromSockaddr(const sockaddr_in& sin) {
    Ipv4Endpoint endpoint;
    std::memcpy(endpoint.address.data(), &sin.sin_addr, 4);
    endpoint.port = ntohs(sin.sin_port);
    return endpoint;
}

int newTcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP); }

}  // namespace

std::string IoOutcome::text() const {
    switch (status) {
        case SocketStatus::ok: return {};
        case SocketStatus::closed: return "connection closed by the server";
        case SocketStatus::timedOut: return "timed out";
        case SocketStatus::aborted: return "aborted";
        case SocketStatus::otherReady: return "interrupted by a reply";
        case SocketStatus::failed: break;
    }
    return std::strerror(error);
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

int connectTcp(const Ipv4Endpoint& to, const WaitLimit& limit, IoOutcome& outcome) {
    int fd = newTcpSocket();
    if (fd < 0) {
        outcome = failedWith(errno);
        return -1;
    }
    sockaddr_in sin = toSockaddr(to);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0) {
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

int listenBeside(int besideFd, Ipv4Endpoint& bound, IoOutcome& outcome) {
    sockaddr_in sin{};
    socklen_t length = sizeof sin;
    if (::getsockname(besideFd, reinterpret_cast<sockaddr*>(&sin), &length) != 0 || sin.sin_family != AF_INET) {
        outcome = failedWith(errno ? errno : EAFNOSUPPORT);
        return -1;
    }
    sin.sin_port = 0;
    int fd = newTcpSocket();
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &length) != 0) {
        outcome = failedWith(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    }
    bound = fromSockaddr(sin);
    outcome = {};
    return fd;
}

int acceptWithin(int listenFd, int watchFd, const WaitLimit& limit, IoOutcome& outcome) {
    for (;;) {
        SocketStatus waited = waitFor(listenFd, POLLIN, limit, watchFd);
        if (waited != SocketStatus::ok) {
            outcome = {waited};
            return -1;
        }
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            outcome = {};
            return fd;
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
