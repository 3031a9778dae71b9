#pragma once
// Tab completion of a command line from tables the shell hands down: verbs at
// the start, argument names after "--", true/false after a boolean argument,
// local paths after the arguments that name local files or folders.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dorvan::platform {

struct LocalPathArgument {
    std::string argument;  // without "--"
    std::string verb;      // lower case; empty for any verb
    bool foldersOnly = false;
    // The folder relative names are taken from; the working folder when unset.
    std::function<std::string()> baseFolder = {};
};

struct CompletionTables {
    std::vector<std::string> verbs;      // lower case, aliases included
    std::vector<std::string> arguments;  // without "--", aliases included
    std::vector<std::string> booleanArguments;
    std::vector<LocalPathArgument> localPaths;
};

struct Completion {
    size_t wordStart = 0;                 // where the word being completed begins in the line
    std::string word;                     // the typed word, without an opening double quote
    bool quoted = false;                  // the word began with a double quote
    std::vector<std::string> candidates;  // full replacements for `word`, sorted; folders end with '/'
};

// Completes the last word of `beforeCursor` (the line up to the cursor).
Completion complete(std::string_view beforeCursor, const CompletionTables& tables);

// The longest text every candidate starts with.
std::string commonPrefix(const std::vector<std::string>& candidates);

}  // namespace dorvan::platform
