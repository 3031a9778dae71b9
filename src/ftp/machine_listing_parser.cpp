#include "ftp/machine_listing_parser.h"

#include <limits>
#include <string_view>

#include "ftp/ftp_time.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

using std::string_view;
using text::equalsIgnoringCase;

int32_t offsetIn(string_view line, string_view part) { return static_cast<int32_t>(part.data() - line.data()); }

bool isLinkType(string_view type) {
    if (type.size() < 3 || !equalsIgnoringCase(type.substr(0, 3), "os.")) return false;
    const std::string lower = text::asciiLower(type.substr(0, type.find(':')));
    return lower.find("link") != std::string::npos;
}

// False for the entries that stand for the listed folder and its parent.
bool readType(ListingReport& report, string_view type) {
    if (equalsIgnoringCase(type, "cdir") || equalsIgnoringCase(type, "pdir")) return false;
    if (equalsIgnoringCase(type, "file")) {
        report.retrieval = 1;
    } else if (equalsIgnoringCase(type, "dir")) {
        report.folder = 1;
    } else if (isLinkType(type)) {
        report.folder = 1;
        report.retrieval = 1;
        report.link = 1;
    }
    return true;
}

bool readFact(ListingReport& report, string_view line, string_view fact) {
    const size_t equals = fact.find('=');
    if (equals == string_view::npos) return true;
    const string_view name = fact.substr(0, equals);
    const string_view value = fact.substr(equals + 1);
    if (equalsIgnoringCase(name, "type")) return readType(report, value);
    if (equalsIgnoringCase(name, "size")) {
        const auto size = text::decimalValue(value, std::numeric_limits<int64_t>::max(), text::Overflow::saturate);
        if (size) {
            report.sizeKind = 1;
            report.size = static_cast<int64_t>(*size);
        }
    } else if (equalsIgnoringCase(name, "modify")) {
        if (const auto seconds = parseTimeValue(value)) {
            report.timeKind = 1;
            report.time = *seconds;
        }
    } else if (equalsIgnoringCase(name, "unique") && !value.empty()) {
        report.idKind = 1;
        report.id = offsetIn(line, value);
        report.idLength = static_cast<int32_t>(value.size());
    }
    return true;
}

bool parseOneLine(ListingReport& report, string_view line) {
    const size_t blank = line.find(' ');
    if (blank == string_view::npos || blank + 1 == line.size()) return false;
    string_view facts = line.substr(0, blank);
    while (!facts.empty()) {
        const size_t end = facts.find(';');
        if (!readFact(report, line, facts.substr(0, end))) return false;
        facts.remove_prefix(end == string_view::npos ? facts.size() : end + 1);
    }
    const string_view name = line.substr(blank + 1);
    report.name = offsetIn(line, name);
    report.nameLength = static_cast<int32_t>(name.size());
    return true;
}

}  // namespace

bool parseMachineListing(ListingReport& report, const char* line, size_t length) {
    report = {};
    if (line == nullptr || length < 2 || length > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    if (!parseOneLine(report, string_view(line, length))) {
        report = {};
        return false;
    }
    return true;
}

}  // namespace dorvan
