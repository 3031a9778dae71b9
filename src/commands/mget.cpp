// mget: every remote file the filters select, into the local folder.
#include "commands/batch_folders.h"
#include "commands/handlers.h"
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

// Whether a file of the batch is to be downloaded to `localPath`, with its
// local folders made; reports why not.
bool readyToDownload(const FtpFileInfo& file, const std::string& shown, const std::string& localPath) {
    Settings& s = settings();
    if (!isSafeListedName(file.name) || !isSafeListedName(shown)) {
        printMessage(Level::Error, format("Download {} failed, {}", shown, "the name leads outside the local folder"));
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
    return true;
}

// One file of the batch; true when it was downloaded.
bool download(const FtpFileInfo& file, size_t position, size_t count, TransferDisplay& display) {
    Settings& s = settings();
    const std::string shown = fromServer(file.name);
    const std::string localPath = s.local + shown;
    if (!readyToDownload(file, shown, localPath)) {
        display.leaveOut(file.size);
        return false;
    }
    printMessage(Level::Info, format(" {}/{} Downloading {} to {}... ", position, count, shown, localPath));
    TrackedTransfer tracked(display, *s.session, shown, file.size, position);
    // The listed size makes a download that ends short fail.
    if (s.session->get(localPath, file.name, 'I', file.size)) return true;
    printMessage(Level::Error, format("Download {} failed, {}", shown, lastResponseText()));
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
    if (s.local.empty())
        return reportMissing("{} failure: local folder for FTP transfer not specified", "mget",
                             HelpAfterMissing::always);
    if (!scanRemote(""))
        return printMessage(Level::Error, format("{} failure: No files matched on : {}", "mget", currentDir()));
    ClearRemoteScanOnExit clearLists;
    const std::vector<FtpFileInfo>& files = remoteScanResults().files;
    size_t saved = 0;
    {
        TransferDisplay display(files.size(), totalSize(files));
        for (size_t i = 0; i < files.size(); ++i)
            if (download(files[i], i + 1, files.size(), display)) ++saved;
    }
    return printMessage(Level::Info, format("{} files saved to {}", saved, s.local));
}

}  // namespace dorvan::handlers
