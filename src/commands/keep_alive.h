#pragma once
#include <memory>

namespace dorvan {

class FtpLib;

// Starts a detached thread that sends SYST every `keepalive` seconds while
// this session stays open and logged in on its present connection. It holds
// only a weak reference, so it never touches a session that has been released.
void startKeepAlive(const std::shared_ptr<FtpLib>& session);

}  // namespace dorvan
