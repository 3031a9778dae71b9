#include <algorithm>

#include "platform/local_file.h"
#include "text/utf8.h"

namespace dorvan::platform {

std::string partFileName(std::string_view name, std::string_view unique, size_t limit) {
    const std::string tail = "." + std::string(unique) + ".part";
    const size_t room = limit > tail.size() + 1 ? limit - tail.size() - 1 : 0;
    size_t kept = 0;
    while (kept < name.size()) {
        size_t length = std::max<size_t>(text::utf8SequenceLength(name.substr(kept)), 1);
        if (kept + length > room) break;
        kept += length;
    }
    return "." + std::string(name.substr(0, kept)) + tail;
}

}  // namespace dorvan::platform
