#pragma once
// Calendar arithmetic for the times servers list, and the time values of the
// fact listings and of MDTM and MFMT: "YYYYMMDDHHMMSS", in the listing a
// fraction may follow (".123"); always UTC.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dorvan {

constexpr int64_t secondsPerDay = 86'400;
// Known times stay within the years 1 to 9999, so callers can turn them into ticks without overflow.
constexpr int64_t earliestTime = -62'135'596'800;  // 0001-01-01 00:00:00
constexpr int64_t latestTime = 253'402'300'799;    // 9999-12-31 23:59:59

// Days since 1970-01-01 in the proleptic Gregorian calendar. The year is counted from March so that
// the leap day falls at its end.
constexpr int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t monthFromMarch = (month + 9) % 12;
    const int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468;
}

static_assert(daysFromCivil(1970, 1, 1) == 0);
static_assert(daysFromCivil(2000, 3, 1) == 11'017);
static_assert(daysFromCivil(1, 1, 1) * secondsPerDay == earliestTime);
static_assert(daysFromCivil(9999, 12, 31) * secondsPerDay + secondsPerDay - 1 == latestTime);

struct CivilDate {
    int64_t year, month, day;
};

// The calendar day of a count of days since 1970-01-01 (the inverse of daysFromCivil).
constexpr CivilDate civilFromDays(int64_t days) {
    days += 719'468;
    const int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const int64_t dayOfEra = days - era * 146'097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Whole days since 1970-01-01 of a time in seconds, rounded towards the past.
constexpr int64_t dayOf(int64_t seconds) {
    return (seconds >= 0 ? seconds : seconds - (secondsPerDay - 1)) / secondsPerDay;
}

// The calendar year of a time within [earliestTime, latestTime].
constexpr int64_t yearOf(int64_t seconds) { return civilFromDays(dayOf(seconds)).year; }

static_assert(civilFromDays(11'017).month == 3 && civilFromDays(-1).day == 31);
static_assert(yearOf(earliestTime) == 1 && yearOf(latestTime) == 9999 && yearOf(-1) == 1969);

// Seconds since 1970 of "YYYYMMDDHHMMSS" with an optional fraction (dropped); nothing for any other
// text or a date that cannot exist. A leap second (60) counts as the next minute's first.
std::optional<int64_t> parseTimeValue(std::string_view text);

// "YYYYMMDDHHMMSS" of a time within [earliestTime, latestTime]; empty outside.
std::string timeValueText(int64_t unixSeconds);

}  // namespace dorvan
