#pragma once
// The system calls under paths.cpp, defined once per OS (paths_posix.cpp,
// paths_win.cpp).
#include <string>

namespace dorvan::platform::os {

std::string programPath();     // the running binary's full path; empty when unknown
std::string userDataFolder();  // where programs keep each user's data (XDG_DATA_HOME, AppData)

}  // namespace dorvan::platform::os
