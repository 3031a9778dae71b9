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
    tm local;
    localtime_r(&ts.tv_sec, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d,%03ld", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, ts.tv_nsec / 1'000'000);
    return buf;
}

}  // namespace dorvan::platform
