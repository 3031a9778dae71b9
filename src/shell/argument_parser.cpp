#include "shell/argument_parser.h"

#include <string_view>

#include "ftp/masked_command.h"
#include "shell/argument_table.h"
#include "shell/command_file.h"

namespace dorvan {
namespace {

// Values that follow no name, and values of one-character names, are kept
// under keys no storing rule reads.
const std::string unnamed = "\x01unnamed";

// A negative number is a value: no argument has a name of digits.
bool isNegativeNumber(std::string_view token) {
    return token.size() > 1 && token[0] == '-' && token.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

// Reads the tokens as arguments: `onName(name, index)` for each name met in
// token `index`, and `onValue(name, index, from)` for each value, which is
// token `index` from character `from` on.
template <typename OnName, typename OnValue>
void walkArguments(const std::vector<std::string_view>& tokens, OnName onName, OnValue onValue) {
    std::string current = unnamed;
    for (size_t index = 0; index < tokens.size(); ++index) {
        std::string_view token = tokens[index];
        if (token == "-" || token == "--") continue;
        bool isLong = token.size() > 2 && token.starts_with("--");
        bool isShort = !isLong && token.size() > 1 && token[0] == '-' && !isNegativeNumber(token);
        if (!isLong && !isShort) {
            onValue(current, index, size_t{0});
            continue;
        }
        size_t nameFrom = isLong ? 2 : 1;
        std::string_view body = token.substr(nameFrom);
        size_t separator = body.find_first_of(":=");
        std::string_view names = body.substr(0, separator);
        if (isLong) {
            current = std::string(argumentNameFor(names));
            onName(current, index);
        } else {
            current.assign(1, '-');  // not `= "-"`: GCC 12 takes that for an overlapping copy at -O3
            for (char c : names) {
                current = {'-', c};  // never a stored argument
                onName(current, index);
            }
        }
        if (separator != std::string_view::npos && separator + 1 < body.size())
            onValue(current, index, nameFrom + separator + 1);
    }
}

}  // namespace

ParsedArguments parseArguments(const ArgumentList& tokens) {
    ParsedArguments result;
    std::vector<std::string_view> views(tokens.begin(), tokens.end());
    walkArguments(
        views, [&](const std::string& name, size_t) { result[name]; },
        [&](const std::string& name, size_t index, size_t from) {
            result[name].values.emplace_back(views[index].substr(from));
        });
    result.erase(unnamed);
    return result;
}

UnreadArguments findUnreadArguments(const ArgumentList& tokens) {
    UnreadArguments unread;
    std::vector<std::string_view> views(tokens.begin(), tokens.end());
    std::string known;  // the argument named last, when a row reads it
    bool knownHasValue = false;
    size_t lastUnknownToken = 0;  // token 0 is never a name that is reported
    walkArguments(
        views,
        [&](const std::string& name, size_t index) {
            if (isArgumentName(name)) {
                known = name;
                knownHasValue = false;
                return;
            }
            if (index != lastUnknownToken) {
                std::string_view token = views[index];
                unread.names.push_back({.typed = std::string(token.substr(0, token.find_first_of(":=", 1))),
                                        .valueOf = knownHasValue ? std::string() : known});
                lastUnknownToken = index;
            }
            known.clear();
        },
        [&](const std::string& name, size_t index, size_t from) {
            if (name == unnamed && index > 0) unread.unnamedValues.emplace_back(views[index].substr(from));
            knownHasValue = true;
        });
    return unread;
}

size_t commandFileAfterPairs(const ArgumentList& tokens) {
    std::vector<std::string_view> views(tokens.begin(), tokens.end());
    size_t found = 0;
    size_t valuesOfLast = 0;
    walkArguments(
        views, [&](const std::string&, size_t) { valuesOfLast = 0; },
        [&](const std::string& name, size_t index, size_t from) {
            std::string_view value = views[index].substr(from);
            if (!found && from == 0 && name != unnamed && valuesOfLast > 0 && isCommandFileToken(value)) found = index;
            ++valuesOfLast;
        });
    return found;
}

std::string maskSecrets(std::string_view line) {
    std::vector<Token> tokens = splitCommandLineTokens(line);
    std::vector<std::string_view> views;
    for (const Token& token : tokens) views.push_back(token.text);
    struct Replaced {
        size_t start, end;
        std::string text;
    };
    std::vector<Replaced> replaced;  // in line order
    walkArguments(
        views, [](const std::string&, size_t) {},
        [&](const std::string& argument, size_t index, size_t from) {
            std::string_view value = views[index].substr(from);
            std::string shown = argument == "password" ? "****"
                                : argument == "name"   ? maskedCommand(value)
                                                       : std::string(value);
            if (shown == value) return;
            const Token& token = tokens[index];
            bool quoted = line[token.begin] == '"' && token.end - token.begin == token.text.size() + 2;
            replaced.push_back({token.begin + from + (quoted ? 1 : 0), token.end - (quoted ? 1 : 0), shown});
        });
    std::string out;
    size_t copied = 0;
    for (const Replaced& part : replaced) {
        out.append(line.substr(copied, part.start - copied));
        out += part.text;
        copied = part.end;
    }
    out.append(line.substr(copied));
    return out;
}

}  // namespace dorvan
