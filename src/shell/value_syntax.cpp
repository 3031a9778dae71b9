#include "shell/value_syntax.h"

#include <limits>

namespace dorvan {
namespace {

// Blanks, tabs and sign characters before the digits are skipped, the last
// sign counting; then decimal digits only, all of the text, at least one.
std::optional<int64_t> parseSigned(std::string_view text, int64_t min, int64_t max) {
    size_t i = 0;
    bool negative = false;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') negative = true;
        if (text[i] == '+') negative = false;
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    // Magnitude accumulated as unsigned so that INT64_MIN is reachable without overflow.
    uint64_t limit = static_cast<uint64_t>(max) + (negative ? 1 : 0);  // min is -(max + 1)
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<int64_t>(magnitude);
    return magnitude == static_cast<uint64_t>(max) + 1 ? min : -static_cast<int64_t>(magnitude);
}

}  // namespace

// `word` is in lower case.
bool equalsIgnoringCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

std::optional<bool> parseBoolean(std::string_view text) {
    if (equalsIgnoringCase(text, "true")) return true;
    if (equalsIgnoringCase(text, "false")) return false;
    return std::nullopt;
}

std::optional<std::string> parseTlsMode(std::string_view text) {
    for (std::string_view mode : {"none", "explicit", "implicit"})
        if (equalsIgnoringCase(text, mode)) return std::string(mode);
    return std::nullopt;
}

std::optional<int32_t> parseInt32(std::string_view text) {
    auto v = parseSigned(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
}

std::optional<int64_t> parseInt64(std::string_view text) {
    return parseSigned(text, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max());
}

std::optional<uint32_t> parseUInt32(std::string_view text) {
    auto v = parseInt64(text);
    if (!v || *v < 0 || *v > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

std::optional<int64_t> parseKilobytes(std::string_view text) {
    if (text.empty() || text.front() == '-') return std::nullopt;
    if (text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return static_cast<int64_t>(value);
}

}  // namespace dorvan
