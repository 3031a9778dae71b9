#include "ftp/listed_name.h"

#include <algorithm>

#include "platform/codepage.h"

namespace dorvan {
namespace {

// True when the byte 0x5C at `at` is the character "\" and not the second byte of another one.
bool isBackslashCharacter(std::string_view name, size_t at, unsigned codePage) {
    if (codePage == utf8CodePage) return true;  // UTF-8 never uses 0x5C inside a character
    std::string text, error;
    if (!platform::codePageToUtf8(name.substr(0, at + 1), codePage, &text, &error)) return true;
    return text.ends_with('\\');
}

}  // namespace

std::string listedPath(std::string_view name, bool backslashSeparates, unsigned codePage) {
    std::string path(name);
    if (!backslashSeparates) return path;
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
        if (isBackslashCharacter(name, at, codePage)) path[at] = '/';
    return path;
}

std::string decodedName(std::string_view name, unsigned codePage) {
    const bool ascii =
        std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::string text, error;
    if (ascii || codePage == utf8CodePage || !platform::codePageToUtf8(name, codePage, &text, &error))
        return std::string(name);
    return text;
}

bool isSafeListedName(std::string_view name) {
    size_t start = 0;
    while (true) {
        const size_t end = name.find_first_of("/\\", start);
        const std::string_view part = name.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::string joinRemotePath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace dorvan
