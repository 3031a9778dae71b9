// MLSD listing text as it comes off a data connection: cut into lines and
// every line parsed into a record; the time values of its facts read and
// written back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp/ftp_lib.h"
#include "ftp/ftp_text.h"
#include "ftp/ftp_time.h"
#include "ftp/machine_listing_parser.h"

namespace {

void checkTimeValue(std::string_view text) {
    const auto seconds = dorvan::parseTimeValue(text);
    if (!seconds) return;
    if (*seconds < dorvan::earliestTime || *seconds > dorvan::latestTime) std::abort();
    if (dorvan::parseTimeValue(dorvan::timeValueText(*seconds)) != seconds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    dorvan::LineCutter cutter(1024);
    auto parse = [](std::string_view line) {
        dorvan::ListingReport report;
        if (dorvan::parseMachineListing(report, line.data(), line.size())) {
            if (report.name < 0 || report.nameLength <= 0 ||
                static_cast<size_t>(report.name) + static_cast<size_t>(report.nameLength) != line.size())
                std::abort();
        }
        if (dorvan::parseMachineLine(line).name.size() > line.size()) std::abort();
        if (const size_t equals = line.find("modify="); equals != std::string_view::npos)
            checkTimeValue(line.substr(equals + 7, line.find(';', equals) - equals - 7));
    };
    size_t half = size / 2;
    cutter.feed(text.substr(0, half), parse);
    cutter.feed(text.substr(half), parse);
    cutter.finish(parse);
    return 0;
}
