// mget: every remote file the filters select, into the local folder.
#include "commands/batch_folders.h"
#include "commands/handlers.h"
#include "commands/kept_times.h"
#include "commands/parallel_batch.h"
#include "commands/remote_scan.h"
#include "commands/retry.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "ftp/resumed_transfers.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {
namespace {

// The first step for one file of the batch: true when it is to be downloaded.
bool beginDownload(const FtpFileInfo& file, size_t position, size_t count) {
    Settings& s = settings();
    const std::string decoded = fromServer(file.name);
    const std::string shown = platform::withLocalSeparators(decoded);
    if (!isSafeListedName(decoded)) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, "the name leads outside the local folder"));
        return false;
    }
    const std::string localPath = s.local + shown;
    if (const std::string link = linkLeadingOutside(s.local, localPath); !link.empty()) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, link));
        return false;
    }
    if (!s.overwrite && localFileHasSize(localPath, file.size)) {
        if (s.debug == 1) printMessage(Level::Info, format("Same size, skiped: {}", shown));
        return false;
    }
    if (s.justprint) {
        printMessage(Level::Info, format(" {}: found {}", "mget", shown));
        return false;
    }
    std::string error;
    if (!ensureLocalFolders(localPath, &error)) {
        printMessage(Level::Error, format("{}: create {} catch {}", "mget", localPath, error));
        return false;
    }
    printMessage(Level::Info, format(" {}/{} Downloading {} to {}... ", position, count, shown, localPath));
    return true;
}

// What a download does besides the transfer; read on the command's thread,
// since the downloads run on the batch's threads.
struct DownloadChoices {
    bool keepTime = false;
    bool notes = false;   // debug level 1
    bool resume = false;  // a part left after the retries stays for the next run
};

// true when it was downloaded.
bool download(FtpLib& session, const FtpFileInfo& file, Retrier& retrier, const DownloadChoices& choices) {
    const std::string shown = platform::withLocalSeparators(fromServer(file.name));
    const std::string localPath = settings().local + shown;
    // The listed size makes a download that ends short fail.
    ResumedDownload tries(localPath, file, 'I', choices.resume ? partialName(localPath) : "");
    if (retrier.run(session, shown, [&](int attempt) { return tries.attempt(session, attempt); })) {
        if (choices.keepTime) keepRemoteTime(session, file, localPath, choices.notes);
        return true;
    }
    printMessage(Level::Error, format("Download {} failed, {}", shown, lastResponseText(session)));
    return false;
}

uint64_t totalSize(const std::vector<FtpFileInfo>& files) {
    uint64_t total = 0;
    for (const FtpFileInfo& file : files) {
        if (file.size == unknownSize) return unknownSize;
        total += file.size;
    }
    return total;
}

}  // namespace

bool mget() {
    Settings& s = settings();
    const std::optional<SessionRecipe> recipe = batchSessionRecipe("mget");
    if (!recipe) return false;
    Retrier retrier(*recipe);
    const RemoteScanResults scan = scanRemote("", {.command = "mget", .runStep = retrier.stepsOn(*s.session)});
    if (scan.files.empty())
        return printMessage(Level::Error, format("{} failure: No files matched on : {}", "mget", currentDir()));
    const std::vector<FtpFileInfo>& files = scan.files;
    const DownloadChoices choices{.keepTime = s.keeptime, .notes = s.debug == 1, .resume = s.resume};
    TransferDisplay display(files.size(), totalSize(files));
    auto start = [&](FtpLib&, size_t i) {
        if (beginDownload(files[i], i + 1, files.size())) return true;
        display.leaveOut(files[i].size);
        return false;
    };
    auto finish = [&](FtpLib& session, size_t i) {
        TrackedTransfer tracked(display, session, fromServer(files[i].name), files[i].size, i + 1);
        return download(session, files[i], retrier, choices);
    };
    const size_t saved = runBatch(files.size(), batchWidth(), {.start = start, .finish = finish}, *recipe);
    display.end();
    return printMessage(Level::Info, format("{} files saved to {}", saved, s.local) + scanFailuresNote(scan));
}

}  // namespace dorvan::handlers
