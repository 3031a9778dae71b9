#pragma once
#include <string_view>
#include <vector>

#include "commands/handlers.h"

namespace dorvan {

using VerbAction = bool (*)();

struct Verb {
    std::string_view name;  // lower case
    VerbAction action;
    handlers::Needs needs = handlers::Needs::nothing;  // met before the action runs
    // A remote or local value on its line that fails its check, or any value
    // that is rejected, stops it (the check's failure line is its report): it
    // would work in the wrong folder or without a filter that was asked for.
    bool needsItsFolders = false;
};

// The row of a lower-case verb, or nullptr.
const Verb* findVerb(std::string_view lowerCaseVerb);

// Every verb and alias, in table order.
std::vector<std::string_view> verbNames();

}  // namespace dorvan
