#include "text/utf8.h"

namespace dorvan::text {

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

}  // namespace dorvan::text
