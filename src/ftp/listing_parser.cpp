#include "ftp/listing_parser.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "ftp/ftp_time.h"
#include "platform/clock.h"
#include "text/ascii.h"

namespace dorvan {
namespace {

using std::string_view;

// A listed date without a year is placed in the past only when it is less than this far back.
constexpr int64_t yearGuessWindow = 350 * secondsPerDay;

using text::equalsIgnoringCase;
using text::isDigit;

// A non-empty run of decimal digits and nothing else; values beyond the int64 range saturate.
std::optional<int64_t> readNumber(string_view digits) {
    auto value = text::decimalValue(digits, std::numeric_limits<int64_t>::max(), text::Overflow::saturate);
    if (!value) return std::nullopt;
    return static_cast<int64_t>(*value);
}

// 1 to 12 for "jan" to "dec" in any mix of case, else 0.
int monthNumber(string_view field) {
    static constexpr string_view names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                            "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i)
        if (equalsIgnoringCase(field, names[i])) return i + 1;
    return 0;
}

struct ListedTime {
    int64_t year = 0;
    int64_t month = 0;
    int64_t day = 0;
    int64_t hour = 0;
    int64_t minute = 0;
};

// The earliest year, from last year on, that puts the date less than 350 days before now.
int64_t guessYear(int64_t month, int64_t day, int64_t nowSeconds) {
    const int64_t now = std::clamp(nowSeconds, earliestTime, latestTime);
    const int64_t currentYear = yearOf(now);
    int64_t year = currentYear - 1;
    while (year < currentYear + 100 && now >= daysFromCivil(year, month, day) * secondsPerDay + yearGuessWindow) ++year;
    return year;
}

void setTime(ListingReport& report, int32_t kind, int64_t seconds) {
    if (seconds < earliestTime || seconds > latestTime) return;
    report.timeKind = kind;
    report.time = seconds;
}

// A listed date that cannot exist (month 13, day 0, hour 25, year 0) leaves the time unknown.
void setTime(ListingReport& report, int32_t kind, const ListedTime& t) {
    const bool valid = t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
                       t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59;
    if (!valid) return;
    setTime(report, kind, daysFromCivil(t.year, t.month, t.day) * secondsPerDay + t.hour * 3600 + t.minute * 60);
}

// Reads "H:MM" or "HH:MM" at the start of text into t and returns what follows the minutes.
std::optional<string_view> readClock(string_view text, ListedTime& t) {
    const size_t colon = text.find(':');
    if (colon == string_view::npos || colon == 0 || colon > 2 || text.size() < colon + 3) return std::nullopt;
    const auto hour = readNumber(text.substr(0, colon));
    const auto minute = readNumber(text.substr(colon + 1, 2));
    if (!hour || !minute) return std::nullopt;
    t.hour = *hour;
    t.minute = *minute;
    return text.substr(colon + 3);
}

// Splits "8-SEP-1996" or "04-27-00" into exactly three parts.
bool splitDate(string_view text, string_view (&parts)[3]) {
    for (int i = 0; i < 2; ++i) {
        const size_t dash = text.find('-');
        if (dash == string_view::npos) return false;
        parts[i] = text.substr(0, dash);
        text.remove_prefix(dash + 1);
    }
    parts[2] = text;
    return text.find('-') == string_view::npos;
}

// Walks the fields of a line, separated by runs of blanks.
class Fields {
public:
    Fields(string_view line, size_t start) : line_(line), pos_(start) {}

    // The next field, or an empty one at the end of the line.
    string_view next() {
        while (pos_ < line_.size() && line_[pos_] == ' ') ++pos_;
        const size_t start = pos_;
        while (pos_ < line_.size() && line_[pos_] != ' ') ++pos_;
        return line_.substr(start, pos_ - start);
    }

    // Everything after the blanks that follow the last field read.
    string_view restAfterBlanks() const {
        size_t pos = pos_;
        while (pos < line_.size() && line_[pos] == ' ') ++pos;
        return line_.substr(pos);
    }

    // The position just after the last field read.
    size_t position() const { return pos_; }

private:
    string_view line_;
    size_t pos_;
};

// A size field that is not a number (a group name where the size column is missing, "1,234") leaves the
// size unknown.
void setSize(ListingReport& report, string_view digits) {
    if (const auto size = readNumber(digits)) {
        report.sizeKind = 1;
        report.size = *size;
    }
}

void setName(ListingReport& report, string_view line, string_view name) {
    report.name = static_cast<int32_t>(name.data() - line.data());
    report.nameLength = static_cast<int32_t>(name.size());
}

// +i8388621.48594,m825718503,r,s280,<TAB>djb.html
bool parseEplf(ListingReport& report, string_view line) {
    const size_t tab = line.find('\t');
    if (tab == string_view::npos) return false;
    string_view facts = line.substr(1, tab - 1);
    for (size_t comma; (comma = facts.find(',')) != string_view::npos; facts.remove_prefix(comma + 1)) {
        const string_view fact = facts.substr(0, comma);
        if (fact.empty()) continue;
        const string_view value = fact.substr(1);
        switch (fact[0]) {
            case '/': report.folder = 1; break;
            case 'r': report.retrieval = 1; break;
            case 's': setSize(report, value); break;
            case 'm':
                if (const auto seconds = readNumber(value)) setTime(report, 1, *seconds);
                break;
            case 'i':
                report.idKind = 1;
                report.id = static_cast<int32_t>(value.data() - line.data());
                report.idLength = static_cast<int32_t>(value.size());
                break;
            default: break;
        }
    }
    setName(report, line, line.substr(tab + 1));
    return true;
}

struct UnixType {
    char letter;
    int32_t folder;
    int32_t retrieval;
};

constexpr UnixType unixTypes[] = {
    {.letter = '-', .folder = 0, .retrieval = 1}, {.letter = 'd', .folder = 1, .retrieval = 0},
    {.letter = 'l', .folder = 1, .retrieval = 1}, {.letter = 'b', .folder = 0, .retrieval = 0},
    {.letter = 'c', .folder = 0, .retrieval = 0}, {.letter = 'p', .folder = 0, .retrieval = 0},
    {.letter = 's', .folder = 0, .retrieval = 0},
};

const UnixType* unixType(char first) {
    for (const UnixType& type : unixTypes)
        if (type.letter == first) return &type;
    return nullptr;
}

// drwxr-xr-x   2 owner    group        4096 Mar 05 09:07 sub dir
// lrwxrwxrwx   1 owner    group           7 Jan 25  2020 bin -> usr/bin
// drwxrwxrwx               folder        2 May 10  1996 network      (no owner field)
// d [R----F--] supervisor            512       Jan 16 18:53    login (names after three blanks)
bool parseUnix(ListingReport& report, string_view line, const UnixType& type, int64_t nowSeconds) {
    report.folder = type.folder;
    report.retrieval = type.retrieval;

    Fields fields(line, 0);
    fields.next();  // permissions
    const string_view links = fields.next();
    if (!(links.size() == 6 && links[0] == 'f')) fields.next();  // owner
    string_view size = fields.next();
    ListedTime t;
    for (string_view field = fields.next(); (t.month = monthNumber(field)) == 0; field = fields.next()) {
        if (field.empty()) return false;
        size = field;
    }
    const auto day = readNumber(fields.next());
    if (!day) return false;
    t.day = *day;

    const string_view when = fields.next();
    const bool isClock = (when.size() == 4 && when[1] == ':') || (when.size() == 5 && when[2] == ':');
    if (isClock) {
        if (!readClock(when, t)) return false;
        if (t.day <= 31) t.year = guessYear(t.month, t.day, nowSeconds);
        setTime(report, 2, t);
    } else {
        const auto year = when.size() >= 4 ? readNumber(when) : std::nullopt;
        if (!year) return false;
        t.year = *year;
        setTime(report, 3, t);
    }

    // The name starts after the single blank that ends the time or year.
    if (fields.position() >= line.size()) return false;
    string_view name = line.substr(fields.position() + 1);
    if (type.letter == 'l') name = name.substr(0, name.find(" -> "));
    if ((line[1] == ' ' || line[1] == '[') && name.starts_with("   ")) name.remove_prefix(3);
    setName(report, line, name);

    setSize(report, size);
    return true;
}

// DATA.DIR;1      1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)
bool parseVms(ListingReport& report, string_view line, size_t semicolon) {
    string_view name = line.substr(0, semicolon);
    if (name.size() > 4 && name.ends_with(".DIR")) {
        name.remove_suffix(4);
        report.folder = 1;
    } else {
        report.retrieval = 1;
    }
    setName(report, line, name);

    Fields fields(line, semicolon);
    fields.next();  // the version after the semicolon
    fields.next();  // block count
    string_view date[3];
    if (!splitDate(fields.next(), date)) return false;
    const auto day = readNumber(date[0]);
    const auto year = readNumber(date[2]);
    ListedTime t{.month = monthNumber(date[1])};
    if (!day || t.month == 0 || !year || !readClock(fields.next(), t)) return false;
    t.year = *year;
    t.day = *day;
    setTime(report, 2, t);
    return true;
}

// 04-27-00  09:09PM       <DIR>          docs
// 12-31-99  12:05AM                  589 notes.htm
bool parseMsDos(ListingReport& report, string_view line) {
    Fields fields(line, 0);
    string_view date[3];
    if (!splitDate(fields.next(), date)) return false;
    const auto month = readNumber(date[0]);
    const auto day = readNumber(date[1]);
    const auto year = readNumber(date[2]);
    if (!month || !day || !year) return false;
    ListedTime t{.year = *year, .month = *month, .day = *day};
    if (t.year < 50) t.year += 2000;
    if (t.year < 1000) t.year += 1900;

    const auto meridiem = readClock(fields.next(), t);
    if (!meridiem) return false;
    // Without AM or PM the server shows a 24-hour clock.
    const bool pm = equalsIgnoringCase(*meridiem, "pm");
    if (pm || equalsIgnoringCase(*meridiem, "am")) {
        if (t.hour == 12) t.hour = 0;
        if (pm) t.hour += 12;
    } else if (!meridiem->empty()) {
        return false;
    }
    setTime(report, 2, t);

    const string_view kind = fields.next();
    if (kind.empty()) return false;
    if (kind[0] == '<') {
        report.folder = 1;
    } else {
        report.retrieval = 1;
        setSize(report, kind);
    }
    setName(report, line, fields.restAfterBlanks());
    return true;
}

bool parseOneLine(ListingReport& report, string_view line, int64_t nowSeconds) {
    if (line[0] == '+') {
        report.style = 1;
        return parseEplf(report, line);
    }
    if (const UnixType* type = unixType(line[0])) {
        report.style = 2;
        report.link = type->letter == 'l' ? 1 : 0;
        return parseUnix(report, line, *type, nowSeconds);
    }
    if (const size_t semicolon = line.find(';'); semicolon != string_view::npos) {
        report.style = 3;
        return parseVms(report, line, semicolon);
    }
    if (!isDigit(line[0])) return false;
    report.style = msDosStyle;
    return parseMsDos(report, line);
}

}  // namespace

bool parseListing(ListingReport& report, const char* line, size_t length, int64_t nowSeconds) {
    report = {};
    if (line == nullptr || length < 2 || length > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    // An entry without a name cannot be used for anything and is not reported.
    if (!parseOneLine(report, string_view(line, length), nowSeconds) || report.nameLength == 0) {
        report = {};
        return false;
    }
    return true;
}

bool parseListing(ListingReport& report, const char* line, size_t length) {
    return parseListing(report, line, length, platform::nowUnixSeconds());
}

}  // namespace dorvan
