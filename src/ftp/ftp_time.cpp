#include "ftp/ftp_time.h"

#include <algorithm>

#include "text/ascii.h"

namespace dorvan {
namespace {

// The number of `width` digits at `at`; the text is known to hold only digits there.
int64_t digitsAt(std::string_view text, size_t at, size_t width) {
    int64_t value = 0;
    for (size_t i = at; i < at + width; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

constexpr int daysInMonth(int64_t year, int64_t month) {
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::optional<int64_t> parseTimeValue(std::string_view text) {
    constexpr size_t width = 14;
    if (text.size() < width) return std::nullopt;
    std::string_view fraction = text.substr(width);
    if (!fraction.empty() && (fraction[0] != '.' || fraction.size() == 1)) return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i)
        if (!text::isDigit(text[i]) && !(i == width && text[i] == '.')) return std::nullopt;
    const int64_t year = digitsAt(text, 0, 4), month = digitsAt(text, 4, 2), day = digitsAt(text, 6, 2);
    const int64_t hour = digitsAt(text, 8, 2), minute = digitsAt(text, 10, 2), second = digitsAt(text, 12, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;
    const int64_t seconds = daysFromCivil(year, month, day) * secondsPerDay + hour * 3600 + minute * 60 + second;
    if (seconds > latestTime) return std::nullopt;  // the leap second of 9999-12-31 23:59
    return seconds;
}

std::string timeValueText(int64_t unixSeconds) {
    if (unixSeconds < earliestTime || unixSeconds > latestTime) return {};
    const int64_t days = dayOf(unixSeconds);
    const int64_t inDay = unixSeconds - days * secondsPerDay;
    const CivilDate date = civilFromDays(days);
    std::string text;
    auto append = [&text](int64_t value, size_t width) {
        const std::string digits = std::to_string(value);
        text.append(width - std::min(width, digits.size()), '0').append(digits);
    };
    append(date.year, 4);
    for (int64_t part : {date.month, date.day, inDay / 3600, inDay / 60 % 60, inDay % 60}) append(part, 2);
    return text;
}

}  // namespace dorvan
