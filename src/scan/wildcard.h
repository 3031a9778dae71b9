#pragma once
// Wildcard patterns of the include and exclude filters.
#include <string>
#include <string_view>
#include <vector>

namespace dorvan {

// True when `pattern` (trimmed of white space at both ends) matches the whole
// of `name`. "*" matches any run; when it is not the pattern's last character
// it leaves at least one character for the rest, so "a**" does not match "a".
// "?" matches one character, "[abc]" one of the listed, "[!abc]" one not
// listed (no ranges); a "[" without a closing "]" is an ordinary character.
// ASCII letters match regardless of case outside brackets; there is no escape.
// Runs in time proportional to pattern length times name length.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// The patterns of a filter setting, split at every "|"; empty pieces stay.
std::vector<std::string> splitPatterns(std::string_view text);

}  // namespace dorvan
