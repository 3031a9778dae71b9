#pragma once
// Names that a server's listing hands us are untrusted: a tree walk joins them
// below the folder it listed, and must never be led outside that folder.
#include <string>
#include <string_view>

namespace dorvan {

// Deepest folder nesting a tree walk follows.
constexpr int maxTreeDepth = 64;

constexpr unsigned utf8CodePage = 65001;

// The listed name (in the server's code page) as a path below the listed
// folder: with backslashSeparates every "\" character becomes "/", otherwise
// the name stays as it is. The name is decoded to find those characters: in
// a double-byte code page (932, 936, 950) a character's second byte may be 0x5C.
std::string listedPath(std::string_view name, bool backslashSeparates, unsigned codePage);

// The name as UTF-8 text; with a code page that has no mapping, the bytes as they are.
std::string decodedName(std::string_view name, unsigned codePage);

// True when `name` (decoded text) names something inside the listed folder:
// not empty, not absolute, and no part that is empty, "." or "..". Parts are
// split at "/" and at "\": a name a UNIX server lists with "\" in it must not
// lead a server or a local system that takes "\" for a separator outside either.
bool isSafeListedName(std::string_view name);

// `folder` and `name` joined with exactly one "/" between them; an empty folder
// gives the name itself.
std::string joinRemotePath(std::string_view folder, std::string_view name);

}  // namespace dorvan
