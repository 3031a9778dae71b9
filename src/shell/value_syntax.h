#pragma once
// The value syntaxes of command-line arguments.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dorvan {

std::optional<bool> parseBoolean(std::string_view text);  // "true"/"false" in any letter case
std::optional<int32_t> parseInt32(std::string_view text);
std::optional<int64_t> parseInt64(std::string_view text);
std::optional<uint32_t> parseUInt32(std::string_view text);
std::optional<int64_t> parseKilobytes(std::string_view text);  // unsigned decimal, one leading '+'
// "none", "explicit" or "implicit" in any letter case, given back in lower case.
std::optional<std::string> parseTlsMode(std::string_view text);
std::optional<std::string> parseDirection(std::string_view text);
// "auto", "true" or "false" in any letter case, in lower case.
std::optional<std::string> parseChecksumMode(std::string_view text);

}  // namespace dorvan
