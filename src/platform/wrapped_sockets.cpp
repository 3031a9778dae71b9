#include "platform/wrapped_sockets.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

namespace dorvan::platform {
namespace {

thread_local GuardedSocket* current = nullptr;

int errnoFor(SocketStatus status) { return status == SocketStatus::aborted ? ECANCELED : ETIMEDOUT; }

}  // namespace

GuardedSocket::GuardedSocket(int fd, const WaitLimit& limit) : fd_(fd), limit_(limit), previous_(current) {
    current = this;
}

GuardedSocket::~GuardedSocket() { current = previous_; }

GuardedSocket* GuardedSocket::forDescriptor(int fd, bool connecting) {
    GuardedSocket* guard = current;
    if (!guard || fd < 0) return nullptr;
    if (connecting && guard->fd_ < 0) guard->fd_ = fd;
    return guard->fd_ == fd ? guard : nullptr;
}

bool GuardedSocket::wait(short events) {
    SocketStatus status = failure_ == SocketStatus::ok ? waitFor(fd_, events, limit_) : failure_;
    if (status == SocketStatus::ok) return true;
    if (status == SocketStatus::failed) status = SocketStatus::timedOut;  // poll itself failed: treat as lost
    if (failure_ == SocketStatus::ok) failure_ = status;
    ::shutdown(fd_, SHUT_RDWR);
    errno = errnoFor(failure_);
    return false;
}

}  // namespace dorvan::platform

using dorvan::platform::GuardedSocket;
using dorvan::platform::SocketStatus;

// The link-time wrappers (--wrap): __real_x is the C library's x.
extern "C" {
int __real_connect(int fd, const sockaddr* address, socklen_t length);
ssize_t __real_read(int fd, void* buffer, size_t size);
ssize_t __real_write(int fd, const void* data, size_t size);

int __wrap_connect(int fd, const sockaddr* address, socklen_t length) {
    GuardedSocket* guard = GuardedSocket::forDescriptor(fd, true);
    if (!guard) return __real_connect(fd, address, length);
    int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int result = __real_connect(fd, address, length);
    if (result != 0 && errno == EINPROGRESS) {
        SocketStatus waited = dorvan::platform::waitFor(fd, POLLOUT, guard->limit());
        int error = 0;
        socklen_t size = sizeof error;
        if (waited == SocketStatus::ok && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        if (waited == SocketStatus::ok && error == 0) {
            result = 0;
        } else {
            errno = waited == SocketStatus::ok ? error : dorvan::platform::errnoFor(waited);
        }
    }
    int saved = errno;
    ::fcntl(fd, F_SETFL, flags);
    errno = saved;
    return result;
}

ssize_t __wrap_read(int fd, void* buffer, size_t size) {
    GuardedSocket* guard = GuardedSocket::forDescriptor(fd, false);
    if (!guard) return __real_read(fd, buffer, size);
    if (!guard->wait(POLLIN)) return -1;
    return __real_read(fd, buffer, size);
}

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    GuardedSocket* guard = GuardedSocket::forDescriptor(fd, false);
    if (!guard) return __real_write(fd, data, size);
    if (!guard->wait(POLLOUT)) return -1;
    return ::send(fd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
}
}
