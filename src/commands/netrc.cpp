#include "commands/netrc.h"

#include <vector>

#include "text/ascii.h"

namespace dorvan {
namespace {

struct ParsedEntry {
    bool isDefault = false;
    std::string machine;
    NetrcEntry credentials;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    // The next token, or nothing at the end. A keyword position skips comment lines.
    std::optional<std::string> next(bool keyword) {
        for (;;) {
            while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
            if (at_ == text_.size()) return std::nullopt;
            if (!keyword || text_[at_] != '#' || !startsLine(at_)) break;
            skipLine();
        }
        std::string token;
        if (text_[at_] == '"') {
            for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
                if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
                token += text_[at_];
            }
            if (at_ < text_.size()) ++at_;  // the closing quote
        } else {
            while (at_ < text_.size() && !isBlank(text_[at_])) token += text_[at_++];
        }
        return token;
    }

    // The rest of the macdef line, then the macro's body up to and including an empty line.
    void skipMacroBody() {
        skipLine();
        while (at_ < text_.size()) {
            size_t end = text_.find('\n', at_);
            std::string_view line = text_.substr(at_, end == std::string_view::npos ? end : end - at_);
            at_ = end == std::string_view::npos ? text_.size() : end + 1;
            if (line.empty() || line == "\r") break;
        }
    }

private:
    bool startsLine(size_t at) const {
        while (at > 0 && (text_[at - 1] == ' ' || text_[at - 1] == '\t')) --at;
        return at == 0 || text_[at - 1] == '\n';
    }
    void skipLine() {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
        if (at_ < text_.size()) ++at_;
    }

    std::string_view text_;
    size_t at_ = 0;
};

std::vector<ParsedEntry> parse(std::string_view text) {
    std::vector<ParsedEntry> entries;
    Tokens tokens(text);
    while (std::optional<std::string> keyword = tokens.next(true)) {
        if (*keyword == "machine" || *keyword == "default") {
            entries.push_back({.isDefault = *keyword == "default", .machine = {}, .credentials = {}});
            if (*keyword == "machine") entries.back().machine = tokens.next(false).value_or("");
        } else if (*keyword == "login" || *keyword == "password" || *keyword == "account") {
            std::string value = tokens.next(false).value_or("");
            if (entries.empty() || *keyword == "account") continue;  // outside any entry, or not used
            (*keyword == "login" ? entries.back().credentials.login : entries.back().credentials.password) = value;
        } else if (*keyword == "macdef") {
            tokens.skipMacroBody();
        }
    }
    return entries;
}

}  // namespace

std::optional<NetrcEntry> findNetrcEntry(std::string_view text, std::string_view host, std::string_view user) {
    std::vector<ParsedEntry> entries = parse(text);
    std::string lowerHost = text::asciiLower(host);
    auto fits = [user](const ParsedEntry& e) {
        return user.empty() || e.credentials.login.empty() || e.credentials.login == user;
    };
    for (const ParsedEntry& e : entries)
        if (!e.isDefault && text::equalsIgnoringCase(e.machine, lowerHost) && fits(e)) return e.credentials;
    for (const ParsedEntry& e : entries)
        if (e.isDefault && fits(e)) return e.credentials;
    return std::nullopt;
}

}  // namespace dorvan
