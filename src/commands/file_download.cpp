#include "commands/file_download.h"

#include "commands/batch_folders.h"
#include "commands/kept_times.h"
#include "commands/retry.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "ftp/listed_name.h"
#include "ftp/resumed_transfers.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {

DownloadOptions downloadOptions(std::string_view command, uint32_t encoding) {
    const Settings& s = settings();
    return {.command = command,
            .localFolder = s.local,
            .encoding = encoding,
            .overwrite = s.overwrite,
            .dryRun = s.justprint,
            .keepTime = s.keeptime,
            .notes = s.debug == 1,
            .resume = s.resume,
            .rules = transferRules()};
}

Begun beginDownload(const FtpFileInfo& file, size_t position, size_t count, const DownloadOptions& options) {
    const std::string decoded = fromServer(file.name, options.encoding);
    const std::string shown = platform::withLocalSeparators(decoded);
    if (!isSafeListedName(decoded)) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, "the name leads outside the local folder"));
        return Begun::failed;
    }
    const std::string localPath = options.localFolder + shown;
    if (const std::string link = linkLeadingOutside(options.localFolder, localPath); !link.empty()) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, link));
        return Begun::failed;
    }
    if (!options.overwrite && localFileHasSize(localPath, file.size)) {
        if (options.notes) printMessage(Level::Info, format("Same size, skiped: {}", shown));
        return Begun::passedOver;
    }
    if (options.dryRun) {
        printMessage(Level::Info, format(" {}: found {}", options.command, shown));
        return Begun::passedOver;
    }
    std::string error;
    if (!ensureLocalFolders(localPath, &error)) {
        printMessage(Level::Error, format("{}: create {} catch {}", options.command, localPath, error));
        return Begun::failed;
    }
    printMessage(Level::Info, format(" {}/{} Downloading {} to {}... ", position, count, shown, localPath));
    return Begun::go;
}

bool downloadFile(FtpLib& session, const FtpFileInfo& file, const DownloadOptions& options, Retrier& retrier) {
    const std::string shown = platform::withLocalSeparators(fromServer(file.name, options.encoding));
    const std::string localPath = options.localFolder + shown;
    // The listed size makes a download that ends short fail.
    ResumedDownload tries(localPath, file, 'I', options.resume ? partialName(localPath) : "");
    applyTransferRules(session, options.rules);
    if (retrier.run(session, shown, [&](int attempt) { return tries.attempt(session, attempt); })) {
        noteChecksum(session, shown, options.notes);
        if (options.keepTime) keepRemoteTime(session, file, localPath, options.encoding, options.notes);
        return true;
    }
    printMessage(Level::Error, format("Download {} failed, {}", shown, lastResponseText(session, options.encoding)));
    return false;
}

BatchSteps downloadSteps(const std::vector<FtpFileInfo>& files, const DownloadOptions& options, Retrier& retrier,
                         TransferDisplay& display) {
    auto start = [&](FtpLib&, size_t i) {
        const Begun begun = beginDownload(files[i], i + 1, files.size(), options);
        if (begun != Begun::go) display.leaveOut(files[i].size);
        return begun;
    };
    auto finish = [&](FtpLib& session, size_t i) {
        TrackedTransfer tracked(display, session, fromServer(files[i].name, options.encoding), files[i].size, i + 1);
        return downloadFile(session, files[i], options, retrier);
    };
    return {.start = start, .finish = finish, .stopped = [&retrier] { return retrier.stopped(); }};
}

}  // namespace dorvan
