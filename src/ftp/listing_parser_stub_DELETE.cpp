// Temporary stand-in until the real listing parser lands: UNIX long lines only.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ftp/listing_parser.h"

namespace dorvan {

int parseListing(ListingReport& report, const char* line, size_t length, int64_t) {
    report = {};
    std::string text(line, length);
    if (text.empty() || std::strchr("-dl", text[0]) == nullptr) return 0;
    size_t pos = 0;
    std::vector<std::string> fields;
    for (int i = 0; i < 8; ++i) {
        size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string::npos) return 0;
        pos = text.find(' ', start);
        if (pos == std::string::npos) return 0;
        fields.push_back(text.substr(start, pos - start));
    }
    size_t name = text.find_first_not_of(' ', pos);
    if (name == std::string::npos) return 0;
    report.name = static_cast<int32_t>(name);
    report.nameLength = static_cast<int32_t>(length - name);
    report.folder = text[0] != '-';
    report.retrieval = text[0] != 'd';
    report.sizeKind = 1;
    report.size = std::strtoll(fields[4].c_str(), nullptr, 10);
    report.timeKind = 3;
    report.time = 0;
    return 1;
}

int parseListing(ListingReport& report, const char* line, size_t length) {
    return parseListing(report, line, length, 0);
}

}  // namespace dorvan
