#include "shell/argument_parser.h"

#include <string_view>

#include "shell/argument_table.h"

namespace dorvan {
namespace {

// Values that follow no name, and values of one-character names, are kept
// under keys no storing rule reads.
const std::string unnamed = "\x01unnamed";

}  // namespace

ParsedArguments parseArguments(const ArgumentList& tokens) {
    ParsedArguments result;
    std::string current = unnamed;
    for (const std::string& token : tokens) {
        if (token == "-" || token == "--") continue;
        std::string_view body;
        bool isLong = token.size() > 2 && token.starts_with("--");
        bool isShort = !isLong && token.size() > 1 && token[0] == '-' && !token.starts_with("--");
        if (!isLong && !isShort) {
            result[current].values.push_back(token);
            continue;
        }
        body = std::string_view(token).substr(isLong ? 2 : 1);
        size_t separator = body.find_first_of(":=");
        std::string_view names = body.substr(0, separator);
        std::string_view value = separator == std::string_view::npos ? std::string_view() : body.substr(separator + 1);
        if (isLong) {
            current = std::string(argumentNameFor(names));
            result[current];
        } else {
            current = "-";
            for (char c : names) {
                current = "-" + std::string(1, c);  // never a stored argument
                result[current];
            }
        }
        if (!value.empty()) result[current].values.emplace_back(value);
    }
    result.erase(unnamed);
    return result;
}

}  // namespace dorvan
