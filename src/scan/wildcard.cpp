#include "scan/wildcard.h"

#include "text/ascii.h"

namespace dorvan {
namespace {

enum class TokenKind { literal, any, set, star, finalStar };

struct Token {
    TokenKind kind;
    char literal = 0;
    std::string_view members{};  // of a set
    bool negated = false;
};

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\f\v";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<Token> tokenize(std::string_view pattern) {
    std::vector<Token> tokens;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c == '*') {
            tokens.push_back({i + 1 == pattern.size() ? TokenKind::finalStar : TokenKind::star});
        } else if (c == '?') {
            tokens.push_back({TokenKind::any});
        } else if (c == '[') {
            bool negated = i + 1 < pattern.size() && pattern[i + 1] == '!';
            size_t first = i + (negated ? 2 : 1);
            size_t close = pattern.find(']', first);
            if (close == std::string_view::npos) {
                tokens.push_back({TokenKind::literal, c});
                continue;
            }
            tokens.push_back({TokenKind::set, 0, pattern.substr(first, close - first), negated});
            i = close;
        } else {
            tokens.push_back({TokenKind::literal, text::toLowerAscii(c)});
        }
    }
    return tokens;
}

bool matchesOne(const Token& token, char c) {
    switch (token.kind) {
        case TokenKind::literal: return token.literal == text::toLowerAscii(c);
        case TokenKind::any: return true;
        case TokenKind::set: return (token.members.find(c) != std::string_view::npos) != token.negated;
        default: return false;
    }
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    const std::vector<Token> tokens = tokenize(trimmed(pattern));
    const size_t n = name.size();
    // rest[j]: whether the tokens after the current one match name[j..]; built
    // from the last token backwards, one row per token.
    std::vector<char> rest(n + 1, 0), row(n + 1, 0);
    rest[n] = 1;
    for (size_t t = tokens.size(); t-- > 0;) {
        const Token& token = tokens[t];
        if (token.kind == TokenKind::finalStar) {
            std::fill(row.begin(), row.end(), 1);
        } else if (token.kind == TokenKind::star) {
            // Tries every non-empty suffix name[k..], k >= j.
            char any = 0;
            row[n] = 0;
            for (size_t j = n; j-- > 0;) {
                any = any || rest[j];
                row[j] = any;
            }
        } else {
            row[n] = 0;
            for (size_t j = 0; j < n; ++j) row[j] = rest[j + 1] && matchesOne(token, name[j]);
        }
        rest.swap(row);
    }
    return rest[0] != 0;
}

std::vector<std::string> splitPatterns(std::string_view text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (true) {
        size_t bar = text.find('|', start);
        pieces.emplace_back(text.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) return pieces;
        start = bar + 1;
    }
}

}  // namespace dorvan
