#pragma once
// The system calls under clock.cpp, defined once per OS (clock_posix.cpp,
// clock_win.cpp); nowTicks() of clock.h is the other one.
#include <cstdint>
#include <ctime>

namespace dorvan::platform::os {

// The local calendar time of a Unix time; false when the system has none for it.
bool localCalendar(int64_t unixSeconds, std::tm& calendar);

}  // namespace dorvan::platform::os
