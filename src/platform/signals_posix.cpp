#include "platform/signals.h"

#include <pthread.h>
#include <csignal>
#include <thread>

namespace dorvan::platform {

void installControlHandler(std::function<void(unsigned event)> handler) {
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGQUIT);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, handler = std::move(handler)] {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) != 0) continue;
            unsigned event = sig == SIGINT ? 0 : sig == SIGQUIT ? 1 : sig == SIGHUP ? 2 : 6;
            handler(event);
        }
    }).detach();
}

}  // namespace dorvan::platform
