#pragma once
// ASCII character rules shared by every layer: digits, letter case and
// decimal numbers. Bytes outside ASCII are never changed or matched.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dorvan::text {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
// Not empty, and hexadecimal digits only.
constexpr bool isHexText(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!isHexDigit(c)) return false;
    return true;
}

constexpr char toLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = toLowerAscii(c);
    return lower;
}

// `text` equals `lowerCase` when its letters A to Z are taken in lower case.
constexpr bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
    return std::ranges::equal(text, lowerCase, [](char a, char b) { return toLowerAscii(a) == b; });
}

enum class Overflow { reject, saturate };

// The value of a non-empty run of decimal digits and nothing else. A value
// above `limit` is rejected, or gives `limit` with Overflow::saturate.
constexpr std::optional<uint64_t> decimalValue(std::string_view digits, uint64_t limit, Overflow overflow) {
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    bool over = false;
    for (char c : digits) {
        if (!isDigit(c)) return std::nullopt;
        auto digit = static_cast<uint64_t>(c - '0');
        if (over || value > (limit - digit) / 10) {
            over = true;
        } else {
            value = value * 10 + digit;
        }
    }
    if (!over) return value;
    if (overflow == Overflow::saturate) return limit;
    return std::nullopt;
}

}  // namespace dorvan::text
