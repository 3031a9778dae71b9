#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace dorvan::platform {

int64_t nowTicks() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return unixEpochTicks + static_cast<int64_t>(ts.tv_sec) * ticksPerSecond + ts.tv_nsec / 100;
}

int64_t nowUnixSeconds() { return static_cast<int64_t>(::time(nullptr)); }

std::string localTimestamp() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    LocalTime local{};
    localTime(ts.tv_sec, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d,%03ld", local.year, local.month, local.day,
                  local.hour, local.minute, local.second, ts.tv_nsec / 1'000'000);
    return buf;
}

bool localTime(int64_t unixSeconds, LocalTime* local) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return false;
    *local = {.year = tm.tm_year + 1900,
              .month = tm.tm_mon + 1,
              .day = tm.tm_mday,
              .hour = tm.tm_hour,
              .minute = tm.tm_min,
              .second = tm.tm_sec};
    return true;
}

}  // namespace dorvan::platform
