#pragma once
#include <string>

namespace dorvan::platform {

// Starts `xdg-open target` from PATH, detached: never waited for, no zombie,
// output discarded. Without xdg-open nothing happens.
void openDetached(const std::string& target);

// Flushes the C streams and ends the process at once with `status`: no exit
// handlers and no static destructors, which other threads may still be using.
[[noreturn]] void endProcess(int status);

}  // namespace dorvan::platform
