#pragma once
// How much room UTF-8 text takes on a terminal, in columns: East Asian wide
// and fullwidth characters (and emoji) two, combining marks and other
// zero-width characters none, anything else one (a malformed byte too).
// The same on every system and in every locale.
#include <cstddef>
#include <string_view>

namespace dorvan::text {

int codePointWidth(char32_t codePoint);
size_t displayWidth(std::string_view text);
// The longest start of `text` that fits in `columns`, never splitting a character.
std::string_view leadingColumns(std::string_view text, size_t columns);
// The longest end of `text` that fits in `columns`, never splitting a character.
std::string_view trailingColumns(std::string_view text, size_t columns);

}  // namespace dorvan::text
