#include "platform/sockets_os.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/sockaddr_layout.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

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

struct System {
    using In = sockaddr_in;
    using In6 = sockaddr_in6;
    static constexpr ADDRESS_FAMILY inet = AF_INET, inet6 = AF_INET6;
};

SocketAddress fromSystem(const sockaddr* from) { return os::fromSockaddr<System>(from); }

int toSystem(const SocketAddress& address, sockaddr_storage& storage) {
    storage = {};
    return static_cast<int>(os::toSockaddr<System>(address, &storage));
}

bool makeNonBlocking(SOCKET socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}

bool wouldBlock(int error) { return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS; }

bool failed(int* error) {
    *error = WSAGetLastError();
    return false;
}

// The calls that only have to wait (or were interrupted) leave *error at 0.
long result(int n, int* error) {
    if (n < 0 && !wouldBlock(WSAGetLastError())) *error = WSAGetLastError();
    return n;
}

int chunkOf(size_t size) { return static_cast<int>(std::min<size_t>(size, 1u << 30)); }

}  // namespace

namespace os {

const short readable = POLLIN;
const short writable = POLLOUT;

// select() rather than WSAPoll(): only select() reports a refused
// non-blocking connect on every Windows version (through the except set).
Readiness waitOnce(int fd, short events, int abortFd, int otherFd, int timeoutMs) {
    fd_set readableSet, writableSet, failedSet;
    FD_ZERO(&readableSet);
    FD_ZERO(&writableSet);
    FD_ZERO(&failedSet);
    SOCKET socket = handleOf(fd);
    if (events & POLLIN) FD_SET(socket, &readableSet);
    if (events & POLLOUT) FD_SET(socket, &writableSet);
    FD_SET(socket, &failedSet);
    if (abortFd >= 0) FD_SET(handleOf(abortFd), &readableSet);
    if (otherFd >= 0) FD_SET(handleOf(otherFd), &readableSet);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (::select(0, &readableSet, &writableSet, &failedSet, &wait) == SOCKET_ERROR) {
        bool interrupted = WSAGetLastError() == WSAEINTR;
        return {.failed = !interrupted, .interrupted = interrupted};
    }
    return {.socket = FD_ISSET(socket, &readableSet) || FD_ISSET(socket, &writableSet) || FD_ISSET(socket, &failedSet),
            .abort = abortFd >= 0 && FD_ISSET(handleOf(abortFd), &readableSet),
            .other = otherFd >= 0 && FD_ISSET(handleOf(otherFd), &readableSet)};
}

bool lookUpHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error) {
    startWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    int result = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (result != 0) {
        if (error) *error = systemErrorText(static_cast<unsigned long>(result));
        return false;
    }
    for (addrinfo* at = found; at; at = at->ai_next)
        if (at->ai_family == AF_INET || at->ai_family == AF_INET6) addresses.push_back(fromSystem(at->ai_addr));
    ::freeaddrinfo(found);
    return true;
}

bool localAddress(int fd, SocketAddress& address, int* error) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (::getsockname(handleOf(fd), reinterpret_cast<sockaddr*>(&storage), &length) != 0) return failed(error);
    address = fromSystem(reinterpret_cast<sockaddr*>(&storage));
    return true;
}

int newTcpSocket(SocketAddress::Family family, int* error) {
    startWinsock();
    int domain = family == SocketAddress::Family::ipv6 ? AF_INET6 : AF_INET;
    SOCKET socket = WSASocketW(domain, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket != INVALID_SOCKET && !makeNonBlocking(socket)) {
        *error = WSAGetLastError();
        closesocket(socket);
        return -1;
    }
    if (socket == INVALID_SOCKET) *error = WSAGetLastError();
    return descriptorOf(socket);
}

bool startConnect(int fd, const SocketAddress& to, int* error) {
    sockaddr_storage storage;
    int length = toSystem(to, storage);
    if (::connect(handleOf(fd), reinterpret_cast<sockaddr*>(&storage), length) == 0) return true;
    if (!wouldBlock(WSAGetLastError())) *error = WSAGetLastError();
    return false;
}

int connectError(int fd) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(handleOf(fd), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return WSAGetLastError();
    return error;
}

bool listenOn(int fd, const SocketAddress& at, int* error) {
    sockaddr_storage storage;
    int length = toSystem(at, storage);
    if (::bind(handleOf(fd), reinterpret_cast<sockaddr*>(&storage), length) != 0 || ::listen(handleOf(fd), 4) != 0)
        return failed(error);
    return true;
}

// An accepted socket that cannot be made non-blocking is closed, and the wait goes on.
int acceptNow(int listenFd, SocketAddress& from, int* error) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    SOCKET accepted = ::accept(handleOf(listenFd), reinterpret_cast<sockaddr*>(&storage), &length);
    if (accepted == INVALID_SOCKET) {
        int code = WSAGetLastError();
        if (!wouldBlock(code) && code != WSAECONNRESET) *error = code;
        return -1;
    }
    if (!makeNonBlocking(accepted)) {
        closesocket(accepted);
        return -1;
    }
    from = fromSystem(reinterpret_cast<sockaddr*>(&storage));
    return descriptorOf(accepted);
}

long receiveNow(int fd, char* buffer, size_t size, bool peek, int* error) {
    return result(::recv(handleOf(fd), buffer, chunkOf(size), peek ? MSG_PEEK : 0), error);
}

long sendNow(int fd, const char* data, size_t size, int* error) {
    return result(::send(handleOf(fd), data, chunkOf(size), 0), error);
}

// The usual ones read as in the POSIX build.
std::string errorText(int error) {
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

}  // namespace os

std::string SocketAddress::hostText() const {
    if (family == Family::none) return {};
    sockaddr_storage storage;
    int length = toSystem(*this, storage);
    char text[NI_MAXHOST] = "";
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&storage), static_cast<socklen_t>(length), text, sizeof text, nullptr,
                      0, NI_NUMERICHOST) != 0)
        return {};
    return text;
}

bool peerAddress(int fd, SocketAddress& address) {
    sockaddr_storage storage{};
    int length = sizeof storage;
    if (::getpeername(handleOf(fd), reinterpret_cast<sockaddr*>(&storage), &length) != 0) return false;
    address = fromSystem(reinterpret_cast<sockaddr*>(&storage));
    return true;
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
