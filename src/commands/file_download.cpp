#include "commands/file_download.h"

#include "commands/batch_folders.h"
#include "commands/journal.h"
#include "commands/kept_times.h"
#include "commands/retry.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
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
            .rules = transferRules(),
            .server = sessionServer()};
}

std::string sessionServer() {
    const SessionRecipe& recipe = settings().sessionRecipe;
    return recipe.user + "@" + recipe.host + ":" + std::to_string(recipe.port);
}

ResumeRules resumeRules(const Retrier& retrier, bool resume, const std::string& server,
                        platform::StalePartSweeper* sweeper) {
    return {.restarts = retrier.retries() > 0, .keptFor = resume ? server : std::string(), .sweeper = sweeper};
}

namespace {

void journalSkip(const DownloadOptions& options, const std::string& decoded, const std::string& localPath,
                 std::string reason, bool ok = true) {
    if (options.journal)
        options.journal->record({.action = "skip",
                                 .reason = std::move(reason),
                                 .remotePath = joinRemotePath(options.remoteFolder, decoded),
                                 .localPath = localPath,
                                 .ok = ok});
}

}  // namespace

Begun beginDownload(const FtpFileInfo& file, size_t position, size_t count, const DownloadOptions& options) {
    const std::string decoded = fromServer(file.name, options.encoding);
    const std::string shown = platform::withLocalSeparators(decoded);
    if (!isSafeListedName(decoded)) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, "the name leads outside the local folder"));
        journalSkip(options, decoded, "", "the name leads outside the local folder", false);
        return Begun::failed;
    }
    const std::string localPath = options.localFolder + shown;
    if (const std::string link = linkLeadingOutside(options.localFolder, localPath); !link.empty()) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, link));
        journalSkip(options, decoded, localPath, link, false);
        return Begun::failed;
    }
    if (!options.overwrite && localFileHasSize(localPath, file.size)) {
        if (options.notes) printMessage(Level::Info, format("Same size, skiped: {}", shown));
        journalSkip(options, decoded, localPath, "same size");
        return Begun::passedOver;
    }
    if (options.dryRun) {
        printMessage(Level::Info, format(" {}: found {}", options.command, shown));
        return Begun::passedOver;
    }
    std::string error;
    if (!ensureLocalFolders(localPath, &error)) {
        printMessage(Level::Error, format("{}: create {} catch {}", options.command, localPath, error));
        journalSkip(options, decoded, localPath, error, false);
        return Begun::failed;
    }
    printMessage(Level::Info, format(" {}/{} Downloading {} to {}... ", position, count, shown, localPath));
    return Begun::go;
}

bool downloadFile(FtpLib& session, const FtpFileInfo& file, const DownloadOptions& options, Retrier& retrier,
                  std::string_view reason) {
    const std::string decoded = fromServer(file.name, options.encoding);
    const std::string shown = platform::withLocalSeparators(decoded);
    const std::string localPath = options.localFolder + shown;
    const JournalClock clock;
    int retried = 0;
    // The listed size makes a download that ends short fail.
    ResumedDownload tries(localPath, file, 'I',
                          resumeRules(retrier, options.resume, options.server, options.sweeper.get()));
    applyTransferRules(session, options.rules);
    const bool ok = retrier.run(session, shown, [&](int attempt) {
        retried = attempt;
        return tries.attempt(session, attempt);
    });
    std::string reply;
    if (ok) noteChecksum(session, options.rules, shown, options.notes);
    if (ok && options.keepTime) keepRemoteTime(session, file, localPath, options.encoding, options.notes);
    if (!ok) {
        reply = lastResponseText(session, options.encoding);
        printMessage(Level::Error, format("Download {} failed, {}", shown, reply));
    }
    const TransferChecksum checked = ok ? session.lastChecksum() : TransferChecksum{};
    if (options.journal)
        options.journal->record({.action = "download",
                                 .reason = std::string(reason),
                                 .remotePath = joinRemotePath(options.remoteFolder, decoded),
                                 .localPath = localPath,
                                 .bytes = ok && file.size != unknownSize ? file.size : 0,
                                 .seconds = clock.seconds(),
                                 .ok = ok,
                                 .reply = reply,
                                 .retries = retried,
                                 .checksum = checked.algorithm,
                                 .digest = checked.digest});
    return ok;
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
