#pragma once
#include "shell/tokenizer.h"

namespace dorvan {

// Stores a line's argument values into the Settings record in the fixed order
// of the argument table. The first rejected value is reported and ends the
// storing with false; arguments stored before it keep their new values.
bool applyArguments(const ArgumentList& tokens);

}  // namespace dorvan
