#pragma once
// The system calls under sockets.cpp, defined once per OS (sockets_posix.cpp,
// sockets_win.cpp). Sockets are non-blocking descriptors that are never
// inherited. A call that fails gives the system's error code (errno, or the
// Winsock code) in *error; one that only has to wait for the socket to become
// ready fails with *error == 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace dorvan::platform::os {

extern const short readable;  // waitFor()'s events: POLLIN
extern const short writable;  // and POLLOUT

struct Readiness {
    bool failed = false;       // the wait itself failed
    bool interrupted = false;  // a signal ended it early
    bool socket = false;       // `events` on fd, or an error there
    bool abort = false;        // abortFd readable
    bool other = false;        // otherFd readable
};
// One wait of at most timeoutMs; abortFd and otherFd are skipped when -1.
Readiness waitOnce(int fd, short events, int abortFd, int otherFd, int timeoutMs);

// The addresses getaddrinfo gives, IPv4 and IPv6 only; false with the resolver's reason.
bool lookUpHost(const std::string& host, uint16_t port, std::vector<SocketAddress>& addresses, std::string* error);
bool localAddress(int fd, SocketAddress& address, int* error);

int newTcpSocket(SocketAddress::Family family, int* error);
// True when connected at once; false with *error == 0 while the connect goes on.
bool startConnect(int fd, const SocketAddress& to, int* error);
int connectError(int fd);  // the outcome of a connect that went on, once fd is writable: 0 when connected
bool listenOn(int fd, const SocketAddress& at, int* error);
int acceptNow(int listenFd, SocketAddress& from, int* error);

// A count of bytes; receiveNow gives 0 at the end of data. `peek` leaves the data to be read.
long receiveNow(int fd, char* buffer, size_t size, bool peek, int* error);
long sendNow(int fd, const char* data, size_t size, int* error);

std::string errorText(int error);  // for IoOutcome::text()

}  // namespace dorvan::platform::os
