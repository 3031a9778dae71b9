#pragma once
// TCP sockets for FTP data connections and commands. Every blocking call
// waits at most WaitLimit::timeoutMs without progress and ends at once when
// the abort descriptor becomes readable. Writes never raise SIGPIPE.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvan::platform {

struct WaitLimit {
    int timeoutMs = 60'000;
    int abortFd = -1;  // ends the wait when readable; -1 for none
};

enum class SocketStatus { ok, closed, timedOut, aborted, failed, otherReady };

struct IoOutcome {
    SocketStatus status = SocketStatus::ok;
    size_t count = 0;      // bytes moved
    int error = 0;         // errno when status is failed
    std::string reason{};  // the TLS layer's own account of a failure, when it has one
    bool ok() const { return status == SocketStatus::ok; }
    // What went wrong, for messages: "TLS: " and the reason when there is one.
    std::string text() const;
};

struct Ipv4Endpoint {
    std::array<uint8_t, 4> address{};
    uint16_t port = 0;
};

// An IPv4 or IPv6 socket address; empty until set.
struct SocketAddress {
    enum class Family : uint8_t { none, ipv4, ipv6 };
    Family family = Family::none;
    std::array<uint8_t, 16> host{};  // network order; an IPv4 address fills the first 4 bytes
    uint16_t portNumber = 0;
    uint32_t scopeId = 0;  // the interface of an IPv6 link-local address

    bool isIpv6() const { return family == Family::ipv6; }
    uint16_t port() const { return portNumber; }
    SocketAddress withPort(uint16_t port) const;
    std::string hostText() const;                     // numeric: "127.0.0.1", "::1"
    std::optional<Ipv4Endpoint> ipv4() const;         // for IPv4 addresses only
    bool sameHost(const SocketAddress& other) const;  // the port and the interface aside
};

// The addresses of a host name or an IPv4/IPv6 literal, in the resolver's order.
bool resolveHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error);
bool peerAddress(int fd, SocketAddress& address);

// An abort signal shared by the waits of one session: raise() makes every
// current and later wait on it end as aborted until clear().
class AbortSignal {
public:
    AbortSignal();
    ~AbortSignal();
    AbortSignal(const AbortSignal&) = delete;
    AbortSignal& operator=(const AbortSignal&) = delete;
    void raise();
    void clear();
    int fd() const { return fd_; }

private:
    int fd_;
};

// Waits `milliseconds`, or less when `signal` is raised: false then.
bool pauseUnlessRaised(const AbortSignal& signal, int milliseconds);

// Polls fd for `events` (POLLIN/POLLOUT); with otherFd >= 0, its readability
// ends the wait as otherReady. Console output held back goes out once it is
// 100 ms old, so that what a command has said shows while it waits on the
// network, without a write for every quick exchange.
SocketStatus waitFor(int fd, short events, const WaitLimit& limit, int otherFd = -1);

// Returns the connected socket, or -1 with the reason in outcome.
int connectTcp(const SocketAddress& to, const WaitLimit& limit, IoOutcome& outcome);
// A listening socket on the local address of `besideFd` (any port); -1 on failure.
int listenBeside(int besideFd, SocketAddress& bound, IoOutcome& outcome);
// Accepts one connection from the host of `peer`; connections from any other
// host are closed and the wait goes on. limit.timeoutMs bounds the whole wait;
// readability of watchFd first ends it as otherReady.
int acceptFrom(int listenFd, const SocketAddress& peer, int watchFd, const WaitLimit& limit, IoOutcome& outcome);

// Reads what is available (at least one byte); status closed at end of data.
IoOutcome receiveSome(int fd, char* buffer, size_t size, const WaitLimit& limit);
IoOutcome sendAll(int fd, const char* data, size_t size, const WaitLimit& limit);

// True when the peer closed the connection or it broke; pending data or none yet: false.
bool connectionGone(int fd);
void shutdownSocket(int fd);  // both directions; the descriptor stays open
void closeSocket(int fd);
void resetSocket(int fd);  // closes with a reset, so the peer sees a broken connection

}  // namespace dorvan::platform
