#pragma once
// UTF-8 well-formedness: shortest form, no surrogates, at most U+10FFFF.
#include <cstddef>
#include <string>
#include <string_view>

namespace dorvan::text {

// The length of the well-formed sequence at the start of `text`; 0 when there is none.
constexpr size_t utf8SequenceLength(std::string_view text) {
    auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.empty()) return 0;
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    const unsigned char second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

constexpr bool isValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

// `bytes` with each byte that starts no well-formed sequence replaced by
// U+FFFD, counted in *replaced when given.
std::string cleanUtf8(std::string_view bytes, size_t* replaced);

}  // namespace dorvan::text
