#pragma once
// The remote scan as commands use it: the filter settings turned into a
// configured scanner, and the lists it gives the calling command.
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/step_runner.h"

namespace dorvan {

struct RemoteScanResults {
    std::vector<FtpFileInfo> files;
    std::vector<FtpFileInfo> folders;
    std::vector<std::string> errors;   // in the server's code page
    std::vector<FtpFileInfo> undated;  // kept back by a deleting scan: their time is unknown
};

struct ScanUse {
    std::string_view command;  // names the failure lines
    // A file whose time is unknown fails a set age bound instead of passing it.
    bool deleting = false;
    StepRunner runStep = runOnce;  // each listing
};

// Scans `start` ("" is the server's current folder) with the include,
// exclude, size, age and cap settings and the recurse setting, and reports
// each folder it could not scan as a failure of `use.command`. Nothing is
// found without a logged-in session.
RemoteScanResults scanRemote(const std::string& start, const ScanUse& use);

// ", scan failures: N" after a command's summary when the scan had any, else "".
std::string scanFailuresNote(const RemoteScanResults& scan);

}  // namespace dorvan
