#include "commands/netrc_login.h"

#include <cstdio>
#include <optional>
#include <string>

#include "commands/netrc.h"
#include "platform/paths.h"
#include "platform/secret_file.h"
#include "settings/format.h"
#include "settings/log.h"

namespace dorvan {

bool takeNetrcCredentials(Settings& s) {
    if (!s.netrc || (!s.username.empty() && !s.password.empty())) return true;
    std::string path = platform::netrcPath();
    std::string text;
    if (platform::pathExists(path)) {
        platform::SecretFileAccess access;
        std::string error;
        if (!platform::readSecretFile(path, text, access, &error))
            return printMessage(Level::Error, format(" login failure: cannot read {}: {}", path, error));
        if (access.ownedByAnotherUser)
            return printMessage(Level::Error, format(" login failure: {} belongs to another user, not used", path));
        if (access.othersMayReadOrChange) {
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", access.mode);
            return printMessage(Level::Error, format(" login failure: other users can read or change {} (mode {}),"
                                                     " not used; make it private: chmod 600 {}",
                                                     path, mode, path));
        }
    }
    std::optional<NetrcEntry> entry = findNetrcEntry(text, s.host, s.username);
    if (!entry) {
        if (s.debug == 1) printMessage(Level::Info, format(" no entry for {} in {}", s.host, path));
        return true;
    }
    if (s.username.empty()) s.username = entry->login;
    if (s.password.empty()) s.password = entry->password;
    return true;
}

}  // namespace dorvan
