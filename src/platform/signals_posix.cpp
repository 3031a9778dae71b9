#include "platform/signals_os.h"

#include <pthread.h>
#include <csignal>
#include <initializer_list>

namespace dorvan::platform::os {
namespace {

const sigset_t& controlSignals() {
    static const sigset_t set = [] {
        sigset_t signals;
        sigemptyset(&signals);
        for (int number : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) sigaddset(&signals, number);
        return signals;
    }();
    return set;
}

}  // namespace

// Blocked here, so that every thread started later inherits the mask and
// only sigwait() takes them.
void catchControlEvents() {
    std::signal(SIGPIPE, SIG_IGN);
    pthread_sigmask(SIG_BLOCK, &controlSignals(), nullptr);
}

unsigned nextControlEvent() {
    for (;;) {
        int sig = 0;
        if (sigwait(&controlSignals(), &sig) != 0) continue;
        return sig == SIGINT ? 0 : sig == SIGQUIT ? 1 : sig == SIGHUP ? 2 : 6;
    }
}

}  // namespace dorvan::platform::os
