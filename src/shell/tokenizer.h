#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace dorvan {

using ArgumentList = std::vector<std::string>;

bool isWhiteSpace(char c);  // blank, tab, CR, LF, form feed, vertical tab
std::string_view trimWhiteSpace(std::string_view text);

// Cuts a command line into tokens. Only a blank separates tokens; a double
// quote groups words only as the first character of a token, and an
// unclosed quote stays part of its token.
ArgumentList splitCommandLine(std::string_view line);

struct Token {
    std::string text;
    size_t begin, end;  // where it stands in the line, quotes included
};
// The same tokens with their places in the line.
std::vector<Token> splitCommandLineTokens(std::string_view line);

}  // namespace dorvan
