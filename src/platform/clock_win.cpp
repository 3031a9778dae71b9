#include "platform/clock.h"

#include <windows.h>
#include <cstdio>
#include <ctime>

namespace dorvan::platform {
namespace {

// FILETIME counts 100-ns ticks from 1601-01-01.
constexpr int64_t fileTimeEpochTicks = 504'911'232'000'000'000;

int64_t fileTimeNow() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

}  // namespace

int64_t nowTicks() { return fileTimeEpochTicks + fileTimeNow(); }

int64_t nowUnixSeconds() { return (nowTicks() - unixEpochTicks) / ticksPerSecond; }

std::string localTimestamp() {
    int64_t sinceUnixEpoch = nowTicks() - unixEpochTicks;
    LocalTime local{};
    localTime(sinceUnixEpoch / ticksPerSecond, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d,%03d", local.year, local.month, local.day,
                  local.hour, local.minute, local.second,
                  static_cast<int>(sinceUnixEpoch % ticksPerSecond / (ticksPerSecond / 1000)));
    return buf;
}

bool localTime(int64_t unixSeconds, LocalTime* local) {
    __time64_t t = unixSeconds;
    std::tm tm{};
    if (_localtime64_s(&tm, &t) != 0) return false;
    *local = {.year = tm.tm_year + 1900,
              .month = tm.tm_mon + 1,
              .day = tm.tm_mday,
              .hour = tm.tm_hour,
              .minute = tm.tm_min,
              .second = tm.tm_sec};
    return true;
}

}  // namespace dorvan::platform
