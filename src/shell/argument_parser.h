#pragma once
// Reads a token list into named arguments: "--name value", "--name=value",
// "--name:value"; "-xyz" names one-character arguments; values accumulate.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "shell/tokenizer.h"

namespace dorvan {

struct ParsedArgument {
    std::vector<std::string> values;
};

using ParsedArguments = std::map<std::string, ParsedArgument>;

ParsedArguments parseArguments(const ArgumentList& tokens);

// The line with each value of the argument `name`, however it is typed, shown
// as "****": for echoing a command line that may hold a password.
std::string maskArgumentValues(std::string_view line, std::string_view name);

}  // namespace dorvan
