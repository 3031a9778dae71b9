#pragma once
// Code-page conversion. Code page 0 is the locale's character set (the C
// locale counts as UTF-8). A character the target lacks becomes '?'; an
// invalid input code unit (one byte, or the two or four bytes of a UTF-16 or
// UTF-32 unit) becomes U+FFFD, counted in *replaced when given. The only
// failure is a code page or character set without a mapping: false, with
// *error set to "CodePage.convert :: " and the reason.
#include <string>
#include <string_view>

namespace dorvan::platform {

bool codePageToUtf8(std::string_view bytes, unsigned codePage, std::string* utf8, std::string* error,
                    size_t* replaced = nullptr);
bool utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string* bytes, std::string* error);
// Decodes by a character-set name as byte-order marks give it: "UTF-8",
// "UTF-16LE", "UTF-16BE", "UTF-32LE" or "UTF-32BE".
bool charsetToUtf8(std::string_view bytes, const std::string& charset, std::string* utf8, std::string* error,
                   size_t* replaced = nullptr);

}  // namespace dorvan::platform
