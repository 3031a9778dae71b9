#pragma once
#include <cstdint>
#include <string>

namespace dorvan::platform {

constexpr int64_t ticksPerSecond = 10'000'000;
constexpr int64_t unixEpochTicks = 621'355'968'000'000'000;

int64_t nowTicks();  // UTC, 100-ns ticks since 0001-01-01
int64_t nowUnixSeconds();
std::string localTimestamp();  // "2024-03-05 09:07:02,045"

struct LocalTime {
    int year, month, day;  // month and day from 1
    int hour, minute, second;
};
// The local calendar time of a Unix time; false when it cannot be shown.
bool localTime(int64_t unixSeconds, LocalTime* local);

}  // namespace dorvan::platform
