#pragma once
// Reads a token list into named arguments: "--name value", "--name=value",
// "--name:value"; "-xyz" names one-character arguments; values accumulate.
#include <map>
#include <string>
#include <vector>

#include "shell/tokenizer.h"

namespace dorvan {

struct ParsedArgument {
    std::vector<std::string> values;
};

using ParsedArguments = std::map<std::string, ParsedArgument>;

ParsedArguments parseArguments(const ArgumentList& tokens);

}  // namespace dorvan
