#pragma once
// Reads a token list into named arguments: "--name value", "--name=value",
// "--name:value"; "-xyz" names one-character arguments, but "-5" is a value;
// values accumulate.
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

// What a line holds that no argument row reads. Token 0 (the verb, an @ token
// or the program path) counts as neither.
struct UnreadArguments {
    struct Name {
        std::string typed;    // with its dashes, up to a value separator
        std::string valueOf;  // the argument just before it when that one had no value yet, else empty
    };
    std::vector<Name> names;                 // in line order, one per token
    std::vector<std::string> unnamedValues;  // the values before the first name
};

UnreadArguments findUnreadArguments(const ArgumentList& tokens);

// Where the process command line names a command file after argument pairs
// ("--errorlevel true @job.txt"): the first token that begins with '@' and
// more, standing where an argument that already has its value would take a
// further one. 0 when there is none.
size_t commandFileAfterPairs(const ArgumentList& tokens);

// The line with each value of `password`, however it is typed, and the
// argument of a PASS or ACCT command given as a `name` value shown as "****":
// for echoing or keeping a command line that may hold a secret.
std::string maskSecrets(std::string_view line);

}  // namespace dorvan
