#include "platform/clock_os.h"

#include <ctime>

#include "platform/clock.h"

namespace dorvan::platform {

int64_t nowTicks() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return unixEpochTicks + static_cast<int64_t>(ts.tv_sec) * ticksPerSecond + ts.tv_nsec / 100;
}

bool os::localCalendar(int64_t unixSeconds, std::tm& calendar) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    return localtime_r(&t, &calendar) != nullptr;
}

}  // namespace dorvan::platform
