#pragma once
#include <string_view>
#include <vector>

namespace dorvan {

using VerbAction = bool (*)();

struct Verb {
    std::string_view name;  // lower case
    VerbAction action;
};

// The action bound to a lower-case verb, or nullptr.
VerbAction findVerb(std::string_view lowerCaseVerb);

// Every verb and alias, in table order.
std::vector<std::string_view> verbNames();

}  // namespace dorvan
