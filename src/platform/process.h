#pragma once
#include <string>
#include <vector>

namespace dorvan::platform {

// The process arguments in UTF-8, the program's own name first: POSIX takes
// argv as the shell split it, Windows splits its wide command line.
std::vector<std::string> processArguments(int argc, char** argv);

// Opens a file or an address in the program the desktop associates with it,
// detached and never waited for. POSIX starts `xdg-open target` from PATH
// (no zombie, output discarded), and returns false without starting anything
// when PATH has no xdg-open; Windows asks its shell to "open" it, window
// maximised, and returns true.
bool openDetached(const std::string& target);
// A web address in the browser: on Windows the browser found by the usual
// lookup gets it as its one parameter; POSIX hands it to openDetached.
bool openInBrowser(const std::string& address);

// Flushes the C streams and ends the process at once with `status`: no exit
// handlers and no static destructors, which other threads may still be using.
[[noreturn]] void endProcess(int status);

}  // namespace dorvan::platform
