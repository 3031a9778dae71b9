#pragma once
// Console control events: SIGINT 0, SIGQUIT 1, SIGHUP 2, SIGTERM 6.
// The handler runs on an ordinary thread, never inside a signal handler.
#include <functional>

namespace dorvan::platform {

// Call before any other thread starts, so every thread inherits the mask.
// SIGPIPE is ignored for the whole process.
void installControlHandler(std::function<void(unsigned event)> handler);

}  // namespace dorvan::platform
