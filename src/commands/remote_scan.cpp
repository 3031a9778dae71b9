#include "commands/remote_scan.h"

#include "commands/scan_settings.h"
#include "commands/session_support.h"
#include "ftp/ftp_scan.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {

RemoteScanResults& remoteScanResults() {
    static RemoteScanResults results;
    return results;
}

bool scanRemote(const std::string& start, const ScanUse& use) {
    RemoteScanResults& results = remoteScanResults();
    results.clear();
    const auto session = settings().session;
    if (!session) return false;
    FtpScan scanner(*session);
    applyFilterSettings(scanner.filter, toServer);
    scanner.filter.undatedFails = use.deleting;
    scanner.codePage = settings().encoding;
    scanner.scan(start, settings().recurse);
    scanner.takeResults(results.files, results.folders, results.errors, results.undated);
    if (settings().debug == 1)  // what the scan passed over
        for (const FtpFileInfo& entry : scanner.skipped())
            printMessage(Level::Info, format(" {}: skipped {}, {}", use.command, fromServer(entry.name),
                                             entry.symlink ? "a symbolic link" : "neither file nor folder"));
    for (const std::string& error : results.errors)
        printMessage(Level::Error, format("{} failure: {}", use.command, fromServer(error)));
    return !results.files.empty();
}

std::string scanFailuresNote() {
    const size_t failures = remoteScanResults().errors.size();
    return failures == 0 ? std::string() : format(", scan failures: {}", failures);
}

}  // namespace dorvan
