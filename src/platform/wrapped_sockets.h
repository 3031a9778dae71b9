#pragma once
// Deadlines for a library that makes its own blocking socket calls (ftplib's
// control connection). The program is linked with --wrap=connect,read,write
// (cmake/ftplib.cmake), which routes every such call of the linked objects
// through wrapped_sockets.cpp. While a GuardedSocket lives on a thread, that
// thread's connect/read/write on the guarded socket wait at most the limit,
// end at once on abort and never raise SIGPIPE; a socket whose wait failed is
// shut down, so a late answer can never be read as the answer to a later
// command. Calls on other descriptors, or on threads without a guard, pass
// straight through to the C library.
#include "platform/sockets.h"

namespace dorvan::platform {

class GuardedSocket {
public:
    // fd -1: the first socket connected on this thread while the guard lives
    // becomes the guarded one.
    GuardedSocket(int fd, const WaitLimit& limit);
    ~GuardedSocket();
    GuardedSocket(const GuardedSocket&) = delete;
    GuardedSocket& operator=(const GuardedSocket&) = delete;

    int fd() const { return fd_; }
    // ok until a wait on the guarded socket failed.
    SocketStatus failure() const { return failure_; }

    // Used by the wrappers only.
    static GuardedSocket* forDescriptor(int fd, bool connecting);
    bool wait(short events);  // false after a failed wait (errno is set)
    const WaitLimit& limit() const { return limit_; }

private:
    int fd_;
    WaitLimit limit_;
    SocketStatus failure_ = SocketStatus::ok;
    GuardedSocket* previous_;
};

}  // namespace dorvan::platform
