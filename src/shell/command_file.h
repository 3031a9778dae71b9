#pragma once
// Command files: decoded by byte-order mark (UTF-8, UTF-16 and UTF-32 in both
// byte orders) or else in the locale's character set, one command per line.
#include <string>
#include <string_view>
#include <vector>

#include "shell/tokenizer.h"

namespace dorvan {

struct CommandEntry {
    std::string line;
    ArgumentList args;
};

using CommandList = std::vector<CommandEntry>;

// "@name": a token that names a command file.
inline bool isCommandFileToken(std::string_view token) { return token.size() >= 2 && token[0] == '@'; }

// The longest command line taken from a file or from standard input.
constexpr size_t commandLineCap = 1'048'576;

// *replaced counts the code units that did not decode (each now U+FFFD).
bool decodeCommandFileText(const std::string& bytes, std::string* text, size_t* replaced, std::string* error);
// Lines after trimming and quote removal; comments and blank lines dropped.
// A line longer than commandLineCap is left out and its number (from 1)
// added to *overlong.
CommandList splitCommandFile(const std::string& text, std::vector<size_t>* overlong);

}  // namespace dorvan
