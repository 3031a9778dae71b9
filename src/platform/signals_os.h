#pragma once
// The system calls under signals.cpp, defined once per OS (signals_posix.cpp,
// signals_win.cpp).

namespace dorvan::platform::os {

// Takes the console's control events from the system, to be collected one by
// one with nextControlEvent(); called on the thread that starts all others.
void catchControlEvents();
// Waits for the next event, numbered as in signals.h.
unsigned nextControlEvent();

}  // namespace dorvan::platform::os
