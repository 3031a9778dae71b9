#pragma once
// Credentials kept outside command files, in the netrc file.
#include "settings/settings.h"

namespace dorvan {

// With the netrc setting on, fills the username and password that are still
// empty from the netrc file's entry for the host. False, with a failure line,
// when the file may not be used: another user owns it, other users can read
// or change it, or it cannot be read. A missing file or entry leaves both as
// they are (login then reports what is missing).
bool takeNetrcCredentials(Settings& s);

}  // namespace dorvan
