#include "shell/tokenizer.h"

#include <algorithm>

namespace dorvan {

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view trimWhiteSpace(std::string_view text) {
    while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<Token> splitCommandLineTokens(std::string_view line) {
    std::vector<Token> tokens;
    std::string_view s = trimWhiteSpace(line);
    auto offset = [&line](std::string_view part) { return static_cast<size_t>(part.data() - line.data()); };
    while (!s.empty()) {
        if (s.front() == '"') {
            size_t close = s.find('"', 1);
            if (close != std::string_view::npos) {
                tokens.push_back({std::string(s.substr(1, close - 1)), offset(s), offset(s) + close + 1});
                s = trimWhiteSpace(s.substr(close + 1));
                continue;
            }
        }
        size_t blank = std::min(s.find(' '), s.size());
        tokens.push_back({std::string(s.substr(0, blank)), offset(s), offset(s) + blank});
        if (blank == s.size()) break;
        s = trimWhiteSpace(s.substr(blank + 1));
    }
    return tokens;
}

ArgumentList splitCommandLine(std::string_view line) {
    ArgumentList texts;
    for (Token& token : splitCommandLineTokens(line)) texts.push_back(std::move(token.text));
    return texts;
}

}  // namespace dorvan
