#include "shell/value_syntax.h"

#include <limits>

#include "text/ascii.h"

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
    // The magnitude is unsigned so that INT64_MIN is reachable without overflow.
    uint64_t limit = static_cast<uint64_t>(max) + (negative ? 1 : 0);  // min is -(max + 1)
    auto magnitude = text::decimalValue(text.substr(i), limit, text::Overflow::reject);
    if (!magnitude) return std::nullopt;
    if (!negative) return static_cast<int64_t>(*magnitude);
    return *magnitude == static_cast<uint64_t>(max) + 1 ? min : -static_cast<int64_t>(*magnitude);
}

}  // namespace

std::optional<bool> parseBoolean(std::string_view text) {
    if (text::equalsIgnoringCase(text, "true")) return true;
    if (text::equalsIgnoringCase(text, "false")) return false;
    return std::nullopt;
}

std::optional<std::string> parseTlsMode(std::string_view text) {
    for (std::string_view mode : {"none", "explicit", "implicit"})
        if (text::equalsIgnoringCase(text, mode)) return std::string(mode);
    return std::nullopt;
}

std::optional<std::string> parseDirection(std::string_view text) {
    for (std::string_view direction : {"down", "up"})
        if (text::equalsIgnoringCase(text, direction)) return std::string(direction);
    return std::nullopt;
}

std::optional<std::string> parseChecksumMode(std::string_view text) {
    for (std::string_view mode : {"auto", "true", "false"})
        if (text::equalsIgnoringCase(text, mode)) return std::string(mode);
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
    auto value = text::decimalValue(text, std::numeric_limits<int64_t>::max(), text::Overflow::reject);
    if (!value) return std::nullopt;
    return static_cast<int64_t>(*value);
}

}  // namespace dorvan
