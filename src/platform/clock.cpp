// The times both systems derive from the clock and the local calendar of clock_os.h.
#include "platform/clock.h"

#include <cstdio>

#include "platform/clock_os.h"

namespace dorvan::platform {

int64_t nowUnixSeconds() { return (nowTicks() - unixEpochTicks) / ticksPerSecond; }

std::string localTimestamp() {
    int64_t sinceUnixEpoch = nowTicks() - unixEpochTicks;
    LocalTime local{};
    localTime(sinceUnixEpoch / ticksPerSecond, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d,%03d", local.year, local.month, local.day, local.hour,
                  local.minute, local.second,
                  static_cast<int>(sinceUnixEpoch % ticksPerSecond / (ticksPerSecond / 1000)));
    return buf;
}

bool localTime(int64_t unixSeconds, LocalTime* local) {
    std::tm tm{};
    if (!os::localCalendar(unixSeconds, tm)) return false;
    *local = {.year = tm.tm_year + 1900,
              .month = tm.tm_mon + 1,
              .day = tm.tm_mday,
              .hour = tm.tm_hour,
              .minute = tm.tm_min,
              .second = tm.tm_sec};
    return true;
}

}  // namespace dorvan::platform
