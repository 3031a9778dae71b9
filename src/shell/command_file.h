#pragma once
// Command files: decoded by byte-order mark (UTF-8, UTF-16 and UTF-32 in both
// byte orders) or else in the locale's character set, one command per line.
#include <string>
#include <vector>

#include "shell/tokenizer.h"

namespace dorvan {

struct CommandEntry {
    std::string line;
    ArgumentList args;
};

using CommandList = std::vector<CommandEntry>;

std::string decodeCommandFileText(const std::string& bytes);
// Lines after trimming and quote removal; comments and blank lines dropped.
CommandList splitCommandFile(const std::string& text);

}  // namespace dorvan
