// mget: every remote file the filters select, into the local folder.
#include "commands/batch_folders.h"
#include "commands/handlers.h"
#include "commands/kept_times.h"
#include "commands/parallel_batch.h"
#include "commands/remote_scan.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {
namespace {

bool sameSizeLocally(const std::string& localPath, uint64_t remoteSize) {
    if (remoteSize == unknownSize || !platform::isRegularFile(localPath)) return false;
    auto localSize = platform::fileSize(localPath);
    return localSize && *localSize == remoteSize;
}

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
    if (!s.overwrite && sameSizeLocally(localPath, file.size)) {
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

// true when it was downloaded.
bool download(FtpLib& session, const FtpFileInfo& file, bool keepTime, bool notes) {
    const std::string shown = platform::withLocalSeparators(fromServer(file.name));
    // The listed size makes a download that ends short fail.
    if (session.get(settings().local + shown, file.name, 'I', file.size)) {
        if (keepTime) keepRemoteTime(session, file, settings().local + shown, notes);
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
    if (!scanRemote("", {.command = "mget"}))
        return printMessage(Level::Error, format("{} failure: No files matched on : {}", "mget", currentDir()));
    ClearRemoteScanOnExit clearLists;
    const std::vector<FtpFileInfo>& files = remoteScanResults().files;
    const bool keepTime = s.keeptime, notes = s.debug == 1;  // read here: finish runs on the batch's threads
    TransferDisplay display(files.size(), totalSize(files));
    auto start = [&](FtpLib&, size_t i) {
        if (beginDownload(files[i], i + 1, files.size())) return true;
        display.leaveOut(files[i].size);
        return false;
    };
    auto finish = [&](FtpLib& session, size_t i) {
        TrackedTransfer tracked(display, session, fromServer(files[i].name), files[i].size, i + 1);
        return download(session, files[i], keepTime, notes);
    };
    const size_t saved =
        runBatch(files.size(), s.justprint ? 1 : s.parallel, {.start = start, .finish = finish}, *recipe);
    display.end();
    return printMessage(Level::Info, format("{} files saved to {}", saved, s.local) + scanFailuresNote());
}

}  // namespace dorvan::handlers
