#pragma once
#include "shell/tokenizer.h"

namespace dorvan {

// Prints the help of the first token when the second is "?" or "help" and
// such a help entry exists.
bool isHelpRequest(const ArgumentList& args);
// Stores the line's arguments, then runs the verb. A verb that needs its
// folders does not run when a remote or local value on its line failed its
// check. The result is the command's success.
bool executeLine(const std::string& line, ArgumentList& args);

}  // namespace dorvan
