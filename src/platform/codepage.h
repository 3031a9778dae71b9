#pragma once
// Code-page conversion through iconv. Code page 0 is the locale's character
// set (the C locale counts as UTF-8). A character the target lacks becomes
// '?', an invalid input byte becomes U+FFFD; a code page without a mapping
// throws CodePageError ("CodePage.convert :: " and the reason).
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dorvan::platform {

struct CodePageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::optional<std::string> iconvNameOf(unsigned codePage);
std::string codePageToUtf8(std::string_view bytes, unsigned codePage);
std::string utf8ToCodePage(std::string_view utf8, unsigned codePage);
// Decodes by an iconv character-set name (used for byte-order marks).
std::string charsetToUtf8(std::string_view bytes, const std::string& charset);

}  // namespace dorvan::platform
