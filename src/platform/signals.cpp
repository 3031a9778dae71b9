#include "platform/signals.h"

#include <thread>

#include "platform/signals_os.h"

namespace dorvan::platform {

void installControlHandler(std::function<void(unsigned event)> handler) {
    os::catchControlEvents();
    std::thread([handler = std::move(handler)] {
        for (;;) handler(os::nextControlEvent());
    }).detach();
}

}  // namespace dorvan::platform
