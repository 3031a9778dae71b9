#pragma once
// Names that a server's listing hands us are untrusted: a tree walk joins them
// below the folder it listed, and must never be led outside that folder.
#include <string>
#include <string_view>

namespace dorvan {

// Deepest folder nesting a tree walk follows; deeper branches end with an error
// entry, so a looping or hostile tree cannot exhaust the stack.
constexpr int maxTreeDepth = 64;

// The name with every "\" turned into "/".
std::string withForwardSlashes(std::string_view name);

// True when `name` (already with "/" separators) names something inside the
// listed folder: not empty, not absolute, and no part that is empty, "." or "..".
bool isSafeListedName(std::string_view name);

// `folder` and `name` joined with exactly one "/" between them; an empty folder
// gives the name itself.
std::string joinRemotePath(std::string_view folder, std::string_view name);

}  // namespace dorvan
