#include "platform/console.h"

namespace dorvan::platform {

std::string terminalSafe(std::string_view text) {
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        bool lineEnd = c == '\n' || (c == '\r' && i + 1 < out.size() && out[i + 1] == '\n');
        if ((c < 0x20 && c != '\t' && !lineEnd) || c == 0x7F) out[i] = '?';
    }
    return out;
}

}  // namespace dorvan::platform
