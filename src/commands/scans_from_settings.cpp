#include "commands/scans_from_settings.h"

#include "commands/session_support.h"
#include "platform/paths.h"
#include "scan/local_scan.h"
#include "scan/remote_scan.h"
#include "scan/scan_filter.h"
#include "scan/wildcard.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

uint64_t sizeBound(int64_t setting) { return setting == unsetSize ? unsetSizeBound : static_cast<uint64_t>(setting); }

}  // namespace

void applyFilterSettings(ScanFilter& filter, std::string (*convert)(std::string_view)) {
    const Settings& s = settings();
    if (!s.include.empty()) filter.include = splitPatterns(convert ? convert(s.include) : s.include);
    if (!s.exclude.empty()) filter.exclude = splitPatterns(convert ? convert(s.exclude) : s.exclude);
    filter.maxSize = sizeBound(s.lsize);
    filter.minSize = sizeBound(s.gsize);
    filter.modified.max = s.lmodified;
    filter.modified.min = s.gmodified;
    filter.maxFiles = s.maxfiles;
    filter.maxFolders = s.maxfolders;
}

RemoteScanResults scanRemote(const std::string& start, const ScanUse& use) {
    RemoteScanResults results;
    const auto session = settings().session;
    if (!session) return results;
    RemoteScan scanner(*session);
    scanner.runStep = use.runStep;
    applyFilterSettings(scanner.filter, toServer);
    scanner.filter.undatedFails = use.deleting;
    scanner.provesFolders = use.deleting && settings().recurse;
    scanner.codePage = settings().encoding;
    scanner.scan(start, settings().recurse);
    scanner.takeResults(results.files, results.folders, results.errors, results.undated);
    if (settings().debug == 1)  // what the scan passed over
        for (const FtpFileInfo& entry : scanner.skipped())
            printMessage(Level::Info, format(" {}: skipped {}, {}", use.command, fromServer(entry.name),
                                             entry.symlink ? "a symbolic link" : "neither file nor folder"));
    for (const std::string& error : results.errors)
        printMessage(Level::Error, format("{} failure: {}", use.command, fromServer(error)));
    return results;
}

std::string failedNote(size_t failed) { return failed == 0 ? std::string() : format(", {} failed", failed); }

std::string scanFailuresNote(const RemoteScanResults& scan) {
    const size_t failures = scan.errors.size();
    return failures == 0 ? std::string() : format(", scan failures: {}", failures);
}

std::vector<std::string> scanLocal(std::string_view command) {
    const Settings& s = settings();
    LocalScan scanner;
    applyFilterSettings(scanner.filter, nullptr);
    std::string start = s.local;
    if (!start.empty() && start.back() == platform::localSeparator()) start.pop_back();
    scanner.scan(start, s.recurse);
    if (s.debug == 1)  // the entries the scan skipped, such as links to folders
        for (const std::string& skipped : scanner.errors())
            printMessage(Level::Info, format(" {}: {}", command, skipped));
    return scanner.takeFiles();
}

}  // namespace dorvan
