#include "platform/utf8_text.h"

namespace dorvan::platform {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when there is none.
size_t utf8SequenceLength(std::string_view text) {
    auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    unsigned char second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

}  // namespace

std::string cleanUtf8(std::string_view bytes, size_t* replaced) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        size_t length = utf8SequenceLength(bytes);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            if (replaced) ++*replaced;
            length = 1;
        } else {
            out.append(bytes.substr(0, length));
        }
        bytes.remove_prefix(length);
    }
    return out;
}

}  // namespace dorvan::platform
