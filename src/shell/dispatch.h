#pragma once
#include "shell/tokenizer.h"

namespace dorvan {

// Prints the help of the first token when the second is "?" or "help" and
// such a help entry exists (a verb's alias stands for its verb, an argument
// may keep its dashes), and the help of the second token after "help" or "?"
// (an error when there is none). True when it answered.
bool isHelpRequest(const ArgumentList& args);
// Stores the line's arguments, then runs the verb. A verb's line with an
// argument name no row reads, or a value that follows no name, is refused
// whole: nothing stored, nothing run. A verb that needs its
// folders does not run when a remote or local value on its line failed its
// check. `typed`: the user typed it (at the prompt or on the process command
// line), so a login may ask for a missing password. The result is the
// command's success.
bool executeLine(ArgumentList& args, bool typed);

}  // namespace dorvan
