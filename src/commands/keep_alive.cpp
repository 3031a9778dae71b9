#include "commands/keep_alive.h"

#include <chrono>
#include <thread>

#include "ftp/ftp_lib.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

bool alive(const std::weak_ptr<FtpLib>& session) {
    const Settings& s = settings();
    return !s.quitRequested && s.isConnected && s.isLoggedin && !session.expired();
}

void keepAlive(std::weak_ptr<FtpLib> session) {
    const Settings& s = settings();
    if (!alive(session)) return;
    while (s.keepalive > 0) {
        // The bound is read again after each step and compared unsigned: a
        // negative interval waits without sending until the session ends.
        for (uint64_t steps = 0;; ++steps) {
            if (!alive(session)) return;
            if (steps >= static_cast<uint64_t>(static_cast<int64_t>(s.keepalive) * 10)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (alive(session)) {
            if (std::shared_ptr<FtpLib> live = session.lock()) live->sendCmd("SYST", '2');
        }
        if (!alive(session)) return;
    }
}

}  // namespace

void startKeepAlive(const std::shared_ptr<FtpLib>& session) {
    std::thread(keepAlive, std::weak_ptr<FtpLib>(session)).detach();
}

}  // namespace dorvan
