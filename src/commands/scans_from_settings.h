#pragma once
// The scans as the batch commands run them: the filter settings (include,
// exclude, lsize, gsize, lmodified, gmodified, maxfiles, maxfolders) and
// recurse turned into a configured scanner of src/scan, and what it passed
// over or could not scan reported under the command's name.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/step_runner.h"

namespace dorvan {

struct ScanFilter;

// The filter settings into `filter`; `convert` (may be null) is applied to
// the pattern settings before they are split at "|".
void applyFilterSettings(ScanFilter& filter, std::string (*convert)(std::string_view));

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

// Scans `start` ("" is the server's current folder) and reports each folder
// it could not scan as a failure of `use.command`. Nothing is found without
// a logged-in session.
RemoteScanResults scanRemote(const std::string& start, const ScanUse& use);

// ", N failed" after a batch command's summary when files failed, else "".
std::string failedNote(size_t failed);

// ", scan failures: N" after a command's summary when the scan had any, else "".
std::string scanFailuresNote(const RemoteScanResults& scan);

// The files of the local folder (and its subfolders with recurse) that pass
// the filters, as full paths; what the scan skipped is shown at debug level 1.
std::vector<std::string> scanLocal(std::string_view command);

}  // namespace dorvan
