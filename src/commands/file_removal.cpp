#include "commands/file_removal.h"

#include "commands/journal.h"
#include "commands/retry.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "settings/format.h"
#include "settings/log.h"

namespace dorvan {

Begun beginRemoval(const FtpFileInfo& file, size_t position, size_t count, const RemovalOptions& options) {
    const std::string shown = fromServer(file.name, options.encoding);
    // Only names below the current folder: a listing may name "..\x" or "/x".
    if (!isSafeListedName(shown)) {
        printMessage(Level::Error, format("delete failure: '{}'", shown));
        return Begun::failed;
    }
    if (options.dryRun) {
        printMessage(Level::Info, format(" {}: found {}", options.command, shown));
        return Begun::passedOver;
    }
    printMessage(Level::Info, format(" {}/{} delting {}...", position, count, shown));
    return Begun::go;
}

bool removeFile(FtpLib& session, const FtpFileInfo& file, const RemovalOptions& options, Retrier& retrier) {
    const std::string shown = fromServer(file.name, options.encoding);
    const JournalClock clock;
    int retried = 0;
    const bool ok = retrier.run(session, shown, [&](int attempt) {
        retried = attempt;
        return session.deleteFile(file.name);
    });
    if (!ok) printMessage(Level::Error, format("delete failure: '{}'", shown));
    if (options.journal)
        options.journal->record({.action = "delete",
                                 .remotePath = joinRemotePath(options.remoteFolder, shown),
                                 .seconds = clock.seconds(),
                                 .ok = ok,
                                 .reply = ok ? std::string() : lastResponseText(session, options.encoding),
                                 .retries = retried});
    return ok;
}

BatchSteps removalSteps(const std::vector<FtpFileInfo>& files, const RemovalOptions& options, Retrier& retrier) {
    return {.start = [&](FtpLib&, size_t i) { return beginRemoval(files[i], i + 1, files.size(), options); },
            .finish = [&](FtpLib& session, size_t i) { return removeFile(session, files[i], options, retrier); },
            .stopped = [&retrier] { return retrier.stopped(); }};
}

}  // namespace dorvan
