#include "shell/argument_check.h"

#include <algorithm>
#include <vector>

#include "settings/format.h"
#include "settings/log.h"
#include "shell/argument_parser.h"
#include "shell/argument_table.h"
#include "shell/verb_table.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

std::vector<std::string_view> typedNames() {
    std::vector<std::string_view> names;
    for (const ArgumentRow& row : argumentRows())
        for (std::string_view name : {row.name, row.aliases[0], row.aliases[1]})
            if (!name.empty()) names.push_back(name);
    return names;
}

// Edits that turn `a` into `b`: insertions, deletions, replacements and
// swaps of two neighbours, each counting one.
size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t replace = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string quotedIfNeeded(const std::string& value) {
    return value.empty() || value.find(' ') != std::string::npos ? "\"" + value + "\"" : value;
}

std::string unknownNameMessage(const UnreadArguments::Name& name) {
    const std::string_view typed = name.typed;
    std::string suggestion;
    if (typed.starts_with("--")) {
        suggestion = closestArgumentName(typed.substr(2));
    } else if (!name.valueOf.empty()) {
        // A value that begins with '-' is read as a name: it goes after '='.
        return format("Unknown argument '{}' (did you mean --{}={}?)", typed, name.valueOf, typed);
    } else if (isArgumentName(argumentNameFor(typed.substr(1)))) {
        suggestion = typed.substr(1);  // -host
    }
    if (suggestion.empty()) return format("Unknown argument '{}'", typed);
    return format("Unknown argument '{}' (did you mean --{}?)", typed, suggestion);
}

std::string unnamedValueMessage(const std::string& value, const Verb& verb) {
    std::string argument = verb.mainArgument.empty() ? "<argument>" : std::string(verb.mainArgument);
    return format("'{}' is not an argument; did you mean --{} {}?", value, argument, quotedIfNeeded(value));
}

}  // namespace

std::string closestArgumentName(std::string_view typed) {
    const std::vector<std::string_view> names = typedNames();
    const std::string lower = text::asciiLower(typed);
    for (std::string_view name : names)
        if (text::asciiLower(name) == lower) return std::string(name);
    const size_t allowed = typed.size() <= 3 ? 1 : 2;
    std::string_view nearest;
    size_t best = allowed + 1;
    for (std::string_view name : names) {
        size_t distance = editDistance(lower, name);
        if (distance < best) {
            best = distance;
            nearest = name;
        }
    }
    if (!nearest.empty()) return std::string(nearest);
    if (typed.size() < 3) return {};
    std::vector<std::string_view> extended;
    for (std::string_view name : names)
        if (name.starts_with(lower)) extended.push_back(name);
    return extended.size() == 1 ? std::string(extended.front()) : std::string();
}

bool checkArgumentLine(const ArgumentList& tokens, const Verb* verb) {
    const UnreadArguments unread = findUnreadArguments(tokens);
    for (const UnreadArguments::Name& name : unread.names) printMessage(Level::Error, unknownNameMessage(name));
    const bool strayValue = verb && !unread.unnamedValues.empty();
    if (strayValue) printMessage(Level::Error, unnamedValueMessage(unread.unnamedValues.front(), *verb));
    return unread.names.empty() && !strayValue;
}

}  // namespace dorvan
