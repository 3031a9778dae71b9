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

// The line with each value of `password`, however it is typed, and the
// argument of a PASS or ACCT command given as a `name` value shown as "****":
// for echoing or keeping a command line that may hold a secret.
std::string maskSecrets(std::string_view line);

}  // namespace dorvan
