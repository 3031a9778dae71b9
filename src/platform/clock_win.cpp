#include "platform/clock_os.h"

#include <windows.h>
#include <ctime>

#include "platform/clock.h"

namespace dorvan::platform {
namespace {

// FILETIME counts 100-ns ticks from 1601-01-01.
constexpr int64_t fileTimeEpochTicks = 504'911'232'000'000'000;

}  // namespace

int64_t nowTicks() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return fileTimeEpochTicks +
           static_cast<int64_t>((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

bool os::localCalendar(int64_t unixSeconds, std::tm& calendar) {
    __time64_t t = unixSeconds;
    return _localtime64_s(&calendar, &t) == 0;
}

}  // namespace dorvan::platform
