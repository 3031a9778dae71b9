#pragma once
// A line is refused whole when it names an argument no row reads, or, on a
// command's line, holds a value that follows no argument name: a mistyped
// filter must never let a removal run without it.
#include <string>
#include <string_view>

#include "shell/tokenizer.h"

namespace dorvan {

struct Verb;

// Reports each name no row reads and, on `verb`'s line (null: not a
// command's line), the first value that follows no name, at level Error.
// True when there was nothing to report.
bool checkArgumentLine(const ArgumentList& tokens, const Verb* verb);

// The argument name (or alias) a mistyped name most likely meant: the same
// name in another letter case, else the nearest by edit distance, else the
// only one it begins; empty when none is close.
std::string closestArgumentName(std::string_view typed);

}  // namespace dorvan
