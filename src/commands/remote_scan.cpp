#include "commands/remote_scan.h"

#include "commands/scan_settings.h"
#include "commands/session_support.h"
#include "ftp/ftp_scan.h"
#include "settings/settings.h"

namespace dorvan {

RemoteScanResults& remoteScanResults() {
    static RemoteScanResults results;
    return results;
}

bool scanRemote(const std::string& start, const StepRunner& runStep) {
    RemoteScanResults& results = remoteScanResults();
    results.clear();
    const auto session = settings().session;
    if (!session) return false;
    FtpScan scanner(*session);
    scanner.runStep = runStep;
    applyFilterSettings(scanner.filter, toServer);
    scanner.scan(start, settings().recurse);
    scanner.takeResults(results.files, results.folders, results.errors);
    return !results.files.empty();
}

}  // namespace dorvan
