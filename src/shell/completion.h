#pragma once
// Tab completion of a command line from the verb and argument tables: verbs at
// the start, argument names after "--", true/false after a boolean argument,
// local paths after the arguments that name local files or folders.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/line_editor.h"

namespace dorvan {

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

// Completes the last word of `beforeCursor` (the line up to the cursor): the
// one candidate, closed by a blank (and a quote when it holds a blank or the
// word began with one) unless it is a folder; else what all candidates share
// beyond the typed word; else the sorted list of candidates (folders end with '/').
platform::TabAction complete(std::string_view beforeCursor, const CompletionTables& tables);

}  // namespace dorvan
