// A command file's bytes: decoded by byte-order mark or the locale's set, then
// cut into command entries. The text must come out as valid UTF-8 and every
// entry as one non-empty line with at least one token.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/command_file.h"

namespace {

bool isValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    size_t replaced = 0;
    std::string text, error;
    if (!dorvan::decodeCommandFileText(bytes, &text, &replaced, &error)) return 0;  // the locale's set has no mapping
    if (!isValidUtf8(text)) std::abort();
    if (replaced > size) std::abort();
    std::vector<size_t> overlong;
    dorvan::CommandList list = dorvan::splitCommandFile(text, &overlong);
    if (!overlong.empty()) std::abort();  // inputs stay far below the line cap
    for (const dorvan::CommandEntry& entry : list) {
        if (entry.line.empty() || entry.args.empty() || entry.line.find('\n') != std::string::npos) std::abort();
    }
    return 0;
}
