#pragma once
#include <string>

namespace dorvan::platform {

// Starts `xdg-open target` from PATH, detached: never waited for, no zombie,
// output discarded. Without xdg-open nothing happens.
void openDetached(const std::string& target);

}  // namespace dorvan::platform
