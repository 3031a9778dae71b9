#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/file_io_os.h"
#include "platform/local_file.h"
#include "text/utf8.h"

namespace dorvan::platform {

std::string partFileName(std::string_view name, std::string_view unique, size_t limit) {
    // Appended piece by piece: GCC 12 at -O3 reports a false overlap
    // (-Wrestrict) inside std::string's operator+ chains here.
    std::string tail = ".";
    tail.append(unique).append(".part");
    const size_t room = limit > tail.size() + 1 ? limit - tail.size() - 1 : 0;
    size_t kept = 0;
    while (kept < name.size()) {
        size_t length = std::max<size_t>(text::utf8SequenceLength(name.substr(kept)), 1);
        if (kept + length > room) break;
        kept += length;
    }
    std::string part = ".";
    part.append(name.substr(0, kept)).append(tail);
    return part;
}

std::string uniquePartSuffix() {
    static std::atomic<unsigned> counter{0};
    static const unsigned process = os::processId();
    auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
    char text[64];
    std::snprintf(text, sizeof text, "%x-%x-%llx", process, counter++,
                  static_cast<unsigned long long>(clock) & 0xffffffffffULL);
    return text;
}

}  // namespace dorvan::platform
