#include "platform/sockets_os.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/sockaddr_layout.h"

namespace dorvan::platform {
namespace {

struct System {
    using In = sockaddr_in;
    using In6 = sockaddr_in6;
    static constexpr sa_family_t inet = AF_INET, inet6 = AF_INET6;
};

SocketAddress fromSystem(const sockaddr* from) { return os::fromSockaddr<System>(from); }

socklen_t toSystem(const SocketAddress& address, sockaddr_storage& storage) {
    storage = {};
    return static_cast<socklen_t>(os::toSockaddr<System>(address, &storage));
}

bool failed(int* error) {
    *error = errno;
    return false;
}

// The calls that only have to wait (or were interrupted) leave *error at 0.
long result(ssize_t n, int* error) {
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) *error = errno;
    return static_cast<long>(n);
}

}  // namespace

namespace os {

const short readable = POLLIN;
const short writable = POLLOUT;

Readiness waitOnce(int fd, short events, int abortFd, int otherFd, int timeoutMs) {
    pollfd fds[3] = {{fd, events, 0}, {abortFd, POLLIN, 0}, {otherFd, POLLIN, 0}};  // negative fds are skipped
    if (::poll(fds, 3, timeoutMs) < 0) return {.failed = errno != EINTR, .interrupted = errno == EINTR};
    return {.socket = fds[0].revents != 0, .abort = fds[1].revents != 0, .other = fds[2].revents != 0};
}

bool lookUpHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (result != 0) {
        if (error) *error = result == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(result);
        return false;
    }
    for (addrinfo* at = found; at; at = at->ai_next)
        if (at->ai_family == AF_INET || at->ai_family == AF_INET6) addresses.push_back(fromSystem(at->ai_addr));
    ::freeaddrinfo(found);
    return true;
}

bool localAddress(int fd, SocketAddress& address, int* error) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return failed(error);
    address = fromSystem(reinterpret_cast<sockaddr*>(&storage));
    return true;
}

int newTcpSocket(SocketAddress::Family family, int* error) {
    int domain = family == SocketAddress::Family::ipv6 ? AF_INET6 : AF_INET;
    int fd = ::socket(domain, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    if (fd < 0) *error = errno;
    return fd;
}

bool startConnect(int fd, const SocketAddress& to, int* error) {
    sockaddr_storage storage;
    socklen_t length = toSystem(to, storage);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0) return true;
    if (errno != EINPROGRESS) *error = errno;
    return false;
}

int connectError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

bool listenOn(int fd, const SocketAddress& at, int* error) {
    sockaddr_storage storage;
    socklen_t length = toSystem(at, storage);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(fd, 4) != 0) return failed(error);
    return true;
}

int acceptNow(int listenFd, SocketAddress& from, int* error) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&storage), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0)
        from = fromSystem(reinterpret_cast<sockaddr*>(&storage));
    else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
        *error = errno;
    return fd;
}

long receiveNow(int fd, char* buffer, size_t size, bool peek, int* error) {
    return result(::recv(fd, buffer, size, MSG_DONTWAIT | (peek ? MSG_PEEK : 0)), error);
}

long sendNow(int fd, const char* data, size_t size, int* error) {
    return result(::send(fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL), error);
}

std::string errorText(int error) { return std::strerror(error); }

}  // namespace os

std::string SocketAddress::hostText() const {
    if (family == Family::none) return {};
    sockaddr_storage storage;
    socklen_t length = toSystem(*this, storage);
    char text[NI_MAXHOST] = "";
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&storage), length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) !=
        0)
        return {};
    return text;
}

bool peerAddress(int fd, SocketAddress& address) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return false;
    address = fromSystem(reinterpret_cast<sockaddr*>(&storage));
    return true;
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
