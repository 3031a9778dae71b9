#pragma once
// Seconds since 1970 of a UTC calendar time, computed by the C library: an
// oracle independent of the program's own time arithmetic.
#include <cstdint>
#include <ctime>

namespace dorvan::test {

inline int64_t utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return static_cast<int64_t>(timegm(&t));
}

}  // namespace dorvan::test
