#pragma once
// Well-formed UTF-8, checked without any conversion library.
#include <string>
#include <string_view>

namespace dorvan::platform {

// `bytes` with each byte that starts no well-formed sequence (shortest form,
// no surrogates, at most U+10FFFF) replaced by U+FFFD, counted in *replaced when given.
std::string cleanUtf8(std::string_view bytes, size_t* replaced);

}  // namespace dorvan::platform
