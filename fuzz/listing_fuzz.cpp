// Listing text as it comes off a data connection: cut into lines (with the
// session's cap) and every line parsed into a record, for each kind of server.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ftp/ftp_lib.h"
#include "ftp/ftp_text.h"
#include "ftp/listing_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    dorvan::LineCutter cutter(1024);
    auto parse = [](std::string_view line) {
        dorvan::ListingReport report;
        if (dorvan::parseListing(report, line.data(), line.size(), 1'600'000'000) && report.nameLength > 0) {
            if (report.name < 0 ||
                static_cast<size_t>(report.name) + static_cast<size_t>(report.nameLength) > line.size())
                std::abort();
        }
        for (const char* system : {"", "UNIX", "Windows_NT"}) {
            dorvan::FtpFileInfo info = dorvan::parseLine(line, system);
            if (info.name.size() > line.size()) std::abort();
        }
    };
    size_t half = size / 2;
    cutter.feed(text.substr(0, half), parse);
    cutter.feed(text.substr(half), parse);
    cutter.finish(parse);
    return 0;
}
