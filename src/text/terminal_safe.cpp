#include "text/terminal_safe.h"

namespace dorvan::text {

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool lineEnd = c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        // U+0080 to U+009F in UTF-8: C2 80 to C2 9F.
        bool c1 = c == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c1) ++i;
        out += (c < 0x20 && c != '\t' && !lineEnd) || c == 0x7F || c1 ? '?' : static_cast<char>(c);
    }
    return out;
}

}  // namespace dorvan::text
