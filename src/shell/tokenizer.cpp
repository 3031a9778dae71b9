#include "shell/tokenizer.h"

namespace dorvan {

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view trimWhiteSpace(std::string_view text) {
    while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

ArgumentList splitCommandLine(std::string_view line) {
    ArgumentList tokens;
    std::string_view s = trimWhiteSpace(line);
    while (!s.empty()) {
        if (s.front() == '"') {
            size_t close = s.find('"', 1);
            if (close != std::string_view::npos) {
                tokens.emplace_back(s.substr(1, close - 1));
                s = trimWhiteSpace(s.substr(close + 1));
                continue;
            }
        }
        size_t blank = s.find(' ');
        if (blank == std::string_view::npos) {
            tokens.emplace_back(s);
            break;
        }
        tokens.emplace_back(s.substr(0, blank));
        s = trimWhiteSpace(s.substr(blank + 1));
    }
    return tokens;
}

}  // namespace dorvan
