#pragma once
// The remote scan as commands use it: the filter settings turned into a
// configured scanner, and the result lists the calling command reads.
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_file_info.h"

namespace dorvan {

struct RemoteScanResults {
    std::vector<FtpFileInfo> files;
    std::vector<FtpFileInfo> folders;
    std::vector<std::string> errors;   // in the server's code page
    std::vector<FtpFileInfo> undated;  // kept back by a deleting scan: their time is unknown

    void clear() {
        files.clear();
        folders.clear();
        errors.clear();
        undated.clear();
    }
};

// The lists of the last scanRemote; the command that scanned empties them
// when it ends. Used only by the main thread.
RemoteScanResults& remoteScanResults();

struct ScanUse {
    std::string_view command;  // names the failure lines
    // A file whose time is unknown fails a set age bound instead of passing it.
    bool deleting = false;
};

// Scans `start` ("" is the server's current folder) with the include,
// exclude, size, age and cap settings and the recurse setting, and reports
// each folder it could not scan as a failure of `use.command`; true when a
// file was found. Needs a logged-in session.
bool scanRemote(const std::string& start, const ScanUse& use);

// ", scan failures: N" after a command's summary when the last scan had any, else "".
std::string scanFailuresNote();

// Empties remoteScanResults() when the command ends, whatever its outcome.
class ClearRemoteScanOnExit {
public:
    ClearRemoteScanOnExit() = default;
    ~ClearRemoteScanOnExit() { remoteScanResults().clear(); }
    ClearRemoteScanOnExit(const ClearRemoteScanOnExit&) = delete;
    ClearRemoteScanOnExit& operator=(const ClearRemoteScanOnExit&) = delete;
};

}  // namespace dorvan
