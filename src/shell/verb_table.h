#pragma once
// The verb table: one row per command holds everything the shell knows about
// it. Its help text stands in the command help table under the row's name.
// Adding a verb is adding a row, a handler and a help text.
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "commands/handlers.h"
#include "commands/session_support.h"
#include "settings/settings.h"

namespace dorvan {

using VerbAction = bool (*)();

// A setting the command cannot do without: when it is empty the handler
// does not run; `missing` ("{}" the verb's name) and the verb's help text are
// reported instead (see reportMissing).
struct RequiredArgument {
    std::string Settings::*field = nullptr;
    std::string_view missing = {};
    HelpAfterMissing help = HelpAfterMissing::always;
};

struct Verb {
    std::string_view name;  // lower case; also the key of its help text
    std::array<std::string_view, 2> aliases = {};
    VerbAction action;
    handlers::Needs needs = handlers::Needs::nothing;  // met before the action runs
    // A remote or local value on its line that fails its check, or any value
    // that is rejected, stops it (the check's failure line is its report): it
    // would work in the wrong folder or without a filter that was asked for.
    bool needsItsFolders = false;
    // With needsItsFolders: a local folder that does not exist yet and a
    // remote one that cannot be entered are the handler's to make (or to report).
    bool makesItsFolders = false;
    // Checked in order once `needs` and the folders are met.
    std::array<RequiredArgument, 2> required = {};
    // Cleared when the handler ends, whatever its outcome, once the required
    // arguments are there. A handler with checks of its own before that point
    // clears its one-shot settings itself.
    std::array<std::string Settings::*, 2> oneShot = {};
    bool hidden = false;  // a maintainer's command: no help text, not in the usage screen
    // The argument a value typed without a name most likely stands for, named
    // in the error that refuses such a line; empty where none stands out.
    std::string_view mainArgument = {};
};

std::span<const Verb> verbRows();

// The row of a lower-case verb or alias, or nullptr.
const Verb* findVerb(std::string_view lowerCaseVerb);

// Every verb and alias, in table order.
std::vector<std::string_view> verbNames();

}  // namespace dorvan
