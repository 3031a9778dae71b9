#pragma once
// Code-page conversion through iconv. Code page 0 is the locale's character
// set (the C locale counts as UTF-8). A character the target lacks becomes
// '?'; an invalid input code unit (one byte, or the two or four bytes of a
// UTF-16 or UTF-32 unit) becomes U+FFFD, counted in *replaced when given.
// A code page without a mapping throws CodePageError ("CodePage.convert :: "
// and the reason).
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dorvan::platform {

struct CodePageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::optional<std::string> iconvNameOf(unsigned codePage);
std::string codePageToUtf8(std::string_view bytes, unsigned codePage, size_t* replaced = nullptr);
std::string utf8ToCodePage(std::string_view utf8, unsigned codePage);
// Decodes by an iconv character-set name (used for byte-order marks).
std::string charsetToUtf8(std::string_view bytes, const std::string& charset, size_t* replaced = nullptr);

}  // namespace dorvan::platform
