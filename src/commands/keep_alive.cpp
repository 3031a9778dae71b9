#include "commands/keep_alive.h"

#include <chrono>
#include <thread>

#include "ftp/ftp_lib.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

// Until the session is released or connects anew (a reconnect starts a keep-alive of its own).
bool sessionLives(const std::weak_ptr<FtpLib>& session, uint64_t connection) {
    const Settings& s = settings();
    if (s.quitRequested || !s.isConnected || !s.isLoggedin) return false;
    std::shared_ptr<FtpLib> live = session.lock();
    return live && live->connectionNumber() == connection;
}

void keepAlive(std::weak_ptr<FtpLib> session, uint64_t connection) {
    const Settings& s = settings();
    auto alive = [&] { return sessionLives(session, connection); };
    if (!alive()) return;
    while (s.keepalive > 0) {
        // The bound is read again after each step and compared unsigned: a
        // negative interval waits without sending until the session ends.
        for (uint64_t steps = 0;; ++steps) {
            if (!alive()) return;
            if (steps >= static_cast<uint64_t>(static_cast<int64_t>(s.keepalive) * 10)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (alive()) {
            if (std::shared_ptr<FtpLib> live = session.lock()) live->sendCmd("SYST", '2');
        }
        if (!alive()) return;
    }
}

}  // namespace

void startKeepAlive(const std::shared_ptr<FtpLib>& session) {
    std::thread(keepAlive, std::weak_ptr<FtpLib>(session), session->connectionNumber()).detach();
}

}  // namespace dorvan
