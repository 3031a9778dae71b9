#include "text/display_width.h"

#include <algorithm>
#include <iterator>

#include "text/utf8.h"

namespace dorvan::text {
namespace {

struct Range {
    char32_t first, last;
};

constexpr Range zeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2}, {0x05C4, 0x05C5},
    {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670}, {0x06D6, 0x06DC}, {0x06DF, 0x06E4},
    {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1160, 0x11FF},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF},
    {0x302A, 0x302D}, {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

constexpr Range wide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x3029},   {0x302E, 0x303E},   {0x3041, 0x3098},   {0x309B, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6},   {0x16FE0, 0x18CFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F2FF}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF},
    {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <size_t N>
bool within(const Range (&ranges)[N], char32_t c) {
    auto after = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                  [](char32_t value, const Range& range) { return value < range.first; });
    return after != std::begin(ranges) && c <= std::prev(after)->last;
}

// The code point of the well-formed sequence of `length` bytes at the start of `text`.
char32_t decode(std::string_view text, size_t length) {
    auto byte = [&text](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[i])); };
    if (length == 1) return byte(0);
    char32_t c = byte(0) & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) c = (c << 6) | (byte(i) & 0x3F);
    return c;
}

// The columns of the character at the start of `text`; `length` gets its bytes.
size_t firstCharacter(std::string_view text, size_t& length) {
    length = utf8SequenceLength(text);
    if (length == 0) {
        length = 1;
        return 1;  // shown as a replacement character
    }
    return static_cast<size_t>(codePointWidth(decode(text, length)));
}

}  // namespace

int codePointWidth(char32_t c) {
    if (c < 0x300) return 1;
    if (within(zeroWidth, c)) return 0;
    return within(wide, c) ? 2 : 1;
}

size_t displayWidth(std::string_view text) {
    size_t width = 0;
    for (size_t length = 0; !text.empty(); text.remove_prefix(length)) width += firstCharacter(text, length);
    return width;
}

std::string_view leadingColumns(std::string_view text, size_t columns) {
    size_t used = 0, end = 0;
    for (size_t length = 0; end < text.size(); end += length) {
        size_t width = firstCharacter(text.substr(end), length);
        if (used + width > columns) break;
        used += width;
    }
    return text.substr(0, end);
}

std::string_view trailingColumns(std::string_view text, size_t columns) {
    // Characters are found from the start (a sequence is only known from its
    // lead byte); the start moves on while the rest is too wide.
    size_t start = 0, width = displayWidth(text);
    for (size_t length = 0; width > columns && start < text.size(); start += length)
        width -= firstCharacter(text.substr(start), length);
    return text.substr(start);
}

}  // namespace dorvan::text
