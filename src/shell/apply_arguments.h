#pragma once
#include "shell/tokenizer.h"

namespace dorvan {

// What the line's folder values met. A `local` value that is no existing
// folder is reported and not stored. A stored `remote` value is entered at
// once when logged in, else at the login (see Settings::remoteChangeFailed).
struct FolderChecks {
    bool remoteStored = false;
    bool localFailed = false;
    // Given: a local folder that does not exist yet is stored all the same,
    // for a command that makes it.
    bool localMayBeMissing = false;
};

// Stores a line's argument values into the Settings record in the fixed order
// of the argument table. A name that no row reads is reported and nothing is
// stored (false). The first rejected value is reported and ends the storing
// with false; arguments stored before it keep their new values.
bool applyArguments(const ArgumentList& tokens, FolderChecks* folders = nullptr);

}  // namespace dorvan
