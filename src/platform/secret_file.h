#pragma once
// Files that hold secrets, such as the netrc file of FTP credentials: where
// it is, and who besides its reader may read or change it.
#include <string>

namespace dorvan::platform {

// $NETRC when set and not empty, else .netrc in the home folder
// (Windows: %NETRC%, else _netrc in the user's profile folder).
std::string netrcPath();

struct SecretFileAccess {
    bool ownedByAnotherUser = false;
    bool othersMayReadOrChange = false;  // its group or all users
    unsigned mode = 0;                   // the permission bits (none on Windows, where the profile's ACL decides)
};

// Reads a regular file of at most 1 MiB and tells, from the same open file,
// who owns it and who may use it. False with the reason (no path) when it
// cannot be read.
bool readSecretFile(const std::string& path, std::string& content, SecretFileAccess& access, std::string* error);

}  // namespace dorvan::platform
