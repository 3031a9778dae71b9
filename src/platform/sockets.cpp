// The socket logic both systems share: address rules, deadlines, and the
// connect, accept, receive and send loops over the calls of sockets_os.h.
#include "platform/sockets.h"

#include <algorithm>
#include <chrono>

#include "platform/console.h"
#include "platform/sockets_os.h"

namespace dorvan::platform {
namespace {

using Clock = std::chrono::steady_clock;

IoOutcome failedWith(int error) { return {SocketStatus::failed, 0, error}; }

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

size_t hostLength(SocketAddress::Family family) { return family == SocketAddress::Family::ipv4 ? 4 : 16; }

}  // namespace

SocketAddress SocketAddress::withPort(uint16_t port) const {
    SocketAddress copy = *this;
    copy.portNumber = port;
    return copy;
}

std::optional<Ipv4Endpoint> SocketAddress::ipv4() const {
    if (family != Family::ipv4) return std::nullopt;
    Ipv4Endpoint endpoint;
    std::copy_n(host.begin(), 4, endpoint.address.begin());
    endpoint.port = portNumber;
    return endpoint;
}

bool SocketAddress::sameHost(const SocketAddress& other) const {
    return family != Family::none && family == other.family &&
           std::equal(host.begin(), host.begin() + static_cast<long>(hostLength(family)), other.host.begin());
}

bool resolveHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error) {
    addresses.clear();
    if (!os::lookUpHost(host, port, addresses, error)) return false;
    if (addresses.empty() && error) *error = "no IPv4 or IPv6 address";
    return !addresses.empty();
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
    return reason.empty() ? os::errorText(error) : "TLS: " + reason;
}

// Console output held back goes out during a wait once it is this old: a
// batch of quick exchanges writes it in large pieces, and what a command has
// said still shows soon while it waits on a slow server.
constexpr int heldOutputMs = 100;

SocketStatus waitFor(int fd, short events, const WaitLimit& limit, int otherFd) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit.timeoutMs);
    for (;;) {
        int left = remainingMs(deadline);
        int outputDue = consoleFlushAged(heldOutputMs);
        os::Readiness ready =
            os::waitOnce(fd, events, limit.abortFd, otherFd, outputDue >= 0 ? std::min(left, outputDue) : left);
        if (ready.interrupted) continue;
        if (ready.failed) return SocketStatus::failed;
        if (ready.abort) return SocketStatus::aborted;
        if (ready.socket) return SocketStatus::ok;  // errors surface in the call that follows
        if (ready.other) return SocketStatus::otherReady;
        if (left <= 0) return SocketStatus::timedOut;
    }
}

bool pauseUnlessRaised(const AbortSignal& signal, int milliseconds) {
    consoleFlush();
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int left = remainingMs(deadline);
        os::Readiness ready = os::waitOnce(signal.fd(), os::readable, -1, -1, left);
        if (ready.socket) return false;
        if (ready.failed || left <= 0) return true;
    }
}

int connectTcp(const SocketAddress& to, const WaitLimit& limit, IoOutcome& outcome) {
    int error = 0;
    int fd = os::newTcpSocket(to.family, &error);
    if (fd >= 0 && !os::startConnect(fd, to, &error) && error == 0) {
        SocketStatus waited = waitFor(fd, os::writable, limit);
        if (waited != SocketStatus::ok) {
            outcome = {waited};
            closeSocket(fd);
            return -1;
        }
        error = os::connectError(fd);
    }
    if (fd < 0 || error != 0) {
        outcome = failedWith(error);
        closeSocket(fd);
        return -1;
    }
    outcome = {};
    return fd;
}

int listenBeside(int besideFd, SocketAddress& bound, IoOutcome& outcome) {
    int error = 0;
    SocketAddress local;
    if (!os::localAddress(besideFd, local, &error)) {
        outcome = failedWith(error);
        return -1;
    }
    int fd = os::newTcpSocket(local.family, &error);
    if (fd < 0 || !os::listenOn(fd, local.withPort(0), &error) || !os::localAddress(fd, bound, &error)) {
        outcome = failedWith(error);
        closeSocket(fd);
        return -1;
    }
    outcome = {};
    return fd;
}

int acceptFrom(int listenFd, const SocketAddress& peer, int watchFd, const WaitLimit& limit, IoOutcome& outcome) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit.timeoutMs);
    for (;;) {
        SocketStatus waited = waitFor(listenFd, os::readable, {remainingMs(deadline), limit.abortFd}, watchFd);
        if (waited != SocketStatus::ok) {
            outcome = {waited};
            return -1;
        }
        SocketAddress from;
        int error = 0;
        int fd = os::acceptNow(listenFd, from, &error);
        if (fd >= 0) {
            if (from.sameHost(peer)) {
                outcome = {};
                return fd;
            }
            closeSocket(fd);  // not the server: whoever it is gets nothing
            continue;
        }
        if (error != 0) {
            outcome = failedWith(error);
            return -1;
        }
    }
}

IoOutcome receiveSome(int fd, char* buffer, size_t size, const WaitLimit& limit) {
    for (;;) {
        SocketStatus waited = waitFor(fd, os::readable, limit);
        if (waited != SocketStatus::ok) return {waited};
        int error = 0;
        long n = os::receiveNow(fd, buffer, size, false, &error);
        if (n > 0) return {SocketStatus::ok, static_cast<size_t>(n)};
        if (n == 0) return {SocketStatus::closed};
        if (error != 0) return failedWith(error);
    }
}

// Sends first and waits only for room: a command line nearly always fits at once.
IoOutcome sendAll(int fd, const char* data, size_t size, const WaitLimit& limit) {
    size_t sent = 0;
    while (sent < size) {
        int error = 0;
        long n = os::sendNow(fd, data + sent, size - sent, &error);
        if (n >= 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (error != 0) return {SocketStatus::failed, sent, error};
        SocketStatus waited = waitFor(fd, os::writable, limit);
        if (waited != SocketStatus::ok) return {waited, sent};
    }
    return {SocketStatus::ok, sent};
}

bool connectionGone(int fd) {
    char byte;
    int error = 0;
    long n = os::receiveNow(fd, &byte, 1, true, &error);
    return n == 0 || (n < 0 && error != 0);
}

}  // namespace dorvan::platform
