#pragma once

namespace dorvan {

// The status command: the session flags, then the argument values (console only).
bool printStatus();

}  // namespace dorvan
