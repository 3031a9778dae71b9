#pragma once
// The remote scan as commands use it: the filter settings turned into a
// configured scanner, and the result lists the calling command reads.
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/step_runner.h"

namespace dorvan {

struct RemoteScanResults {
    std::vector<FtpFileInfo> files;
    std::vector<FtpFileInfo> folders;
    std::vector<std::string> errors;

    void clear() {
        files.clear();
        folders.clear();
        errors.clear();
    }
};

// The lists of the last scanRemote; the command that scanned empties them
// when it ends. Used only by the main thread.
RemoteScanResults& remoteScanResults();

// Scans `start` ("" is the server's current folder) with the include,
// exclude, size, age and cap settings and the recurse setting; true when a
// file was found. Needs a logged-in session. Each listing runs through `runStep`.
bool scanRemote(const std::string& start, const StepRunner& runStep = runOnce);

// Empties remoteScanResults() when the command ends, whatever its outcome.
class ClearRemoteScanOnExit {
public:
    ClearRemoteScanOnExit() = default;
    ~ClearRemoteScanOnExit() { remoteScanResults().clear(); }
    ClearRemoteScanOnExit(const ClearRemoteScanOnExit&) = delete;
    ClearRemoteScanOnExit& operator=(const ClearRemoteScanOnExit&) = delete;
};

}  // namespace dorvan
