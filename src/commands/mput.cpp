// mput: every local file the filters select, to the current remote folder,
// optionally packed into one archive first.
#include "commands/batch_folders.h"
#include "commands/handlers.h"
#include "commands/kept_times.h"
#include "commands/one_shot.h"
#include "commands/parallel_batch.h"
#include "commands/retry.h"
#include "commands/scan_settings.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "ftp/ftp_lib.h"
#include "ftp/path_scan.h"
#include "ftp/resumed_transfers.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {
namespace {

// The files of the local folder (and its subfolders with recurse) that pass
// the filters, as full paths; what the scan skipped is shown at debug level 1.
std::vector<std::string> scanLocal() {
    const Settings& s = settings();
    PathScan scanner;
    applyFilterSettings(scanner.filter, nullptr);
    std::string start = s.local;
    if (!start.empty() && start.back() == platform::localSeparator()) start.pop_back();
    scanner.scan(start, s.recurse);
    if (s.debug == 1)  // the entries the scan skipped, such as links to folders
        for (const std::string& skipped : scanner.errors()) printMessage(Level::Info, " mput: " + skipped);
    return scanner.takeFiles();
}

std::string withoutLeading(const std::string& path, const std::string& prefix) {
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

struct Upload {
    std::string localPath;
    std::string remotePath;
    uint64_t size = unknownSize;
};

// The ordered step for one file of the batch: true when it is to be uploaded.
// `sameSize`: the server holds a file of its size (asked only when overwriting is off).
bool beginUpload(const Upload& file, size_t position, size_t count, bool sameSize, const std::string& currentFolder) {
    Settings& s = settings();
    if (s.justprint) {
        printMessage(Level::Info, format(" found {} to {}", file.localPath, file.remotePath));
        return false;
    }
    if (sameSize) {
        printMessage(Level::Info, format(" {} skiped, same size: {}", "mput", file.localPath));
        return false;
    }
    reportMadeRemoteFolders(file.remotePath, currentFolder);
    printMessage(Level::Info, format(" {}/{} Uploading {} to {} ...", position, count,
                                     withoutLeading(file.localPath, s.local), file.remotePath));
    return true;
}

// true when it was uploaded. An archive is sent whole on each try.
bool upload(FtpLib& session, const Upload& file, char transferType, bool archive, Retrier& retrier, bool keepTime,
            bool notes) {
    const std::string remotePath = toServer(file.remotePath);
    ResumedUpload tries(file.localPath, remotePath, transferType, archive);
    if (retrier.run(session, file.remotePath, [&](int) { return tries.attempt(session); })) {
        if (keepTime) keepLocalTime(session, file.localPath, remotePath, notes);
        return true;
    }
    printMessage(Level::Error, format("Upload {} failure, {}", file.localPath, lastResponseText(session)));
    return false;
}

}  // namespace

bool mput() {
    Settings& s = settings();
    std::optional<SessionRecipe> recipe = batchSessionRecipe("mput");
    if (!recipe) return false;
    std::vector<std::string> found = scanLocal();
    std::erase_if(found, [&](const std::string& path) {
        const std::string link = linkLeadingOutside(s.local, path);
        if (!link.empty()) printMessage(Level::Error, format("Upload {} failure, {}", path, link));
        return !link.empty();
    });
    if (found.empty()) return printMessage(Level::Error, format("{} failure: nothing to upload", "mput"));
    ClearOnExit oneShot{&s.compress};

    std::vector<Upload> uploads;
    char transferType = s.transferType;
    if (s.compress.size() > 3) {
        s.compress = packForUpload(found);
        if (s.compress.empty()) return false;
        transferType = 'I';  // an archive is binary whatever the type of its contents
        uploads.push_back({s.compress, platform::fileNameOf(s.compress)});
    } else {
        uploads.reserve(found.size());
        for (std::string& path : found) {
            std::string remote = platform::withSlashSeparators(withoutLeading(path, s.local));
            uploads.push_back({std::move(path), std::move(remote)});
        }
    }
    uint64_t total = 0;
    for (Upload& file : uploads) {
        file.size = platform::fileSize(file.localPath).value_or(unknownSize);
        total = total == unknownSize || file.size == unknownSize ? unknownSize : total + file.size;
    }
    const std::string currentFolder = s.session->pwd();
    const bool keepTime = s.keeptime, notes = s.debug == 1;  // read here: finish runs on the batch's threads
    recipe->folder = currentFolder;
    const bool archive = s.compress.size() > 3;
    Retrier retrier(*recipe);
    const bool listOnly = s.justprint, askSize = !s.overwrite;
    std::vector<char> sameSize(uploads.size(), false);  // one element per file: written by its own thread
    TransferDisplay display(uploads.size(), total);
    auto check = [&](FtpLib& session, size_t i) {
        if (listOnly) return;
        if (askSize)
            sameSize[i] = sameSizeOnServer(session, toServer(uploads[i].remotePath, recipe->encoding),
                                           uploads[i].localPath, transferType);
        if (!sameSize[i]) ensureRemoteFolders(session, uploads[i].remotePath, currentFolder, retrier.stepsOn(session));
    };
    auto start = [&](FtpLib&, size_t i) {
        if (beginUpload(uploads[i], i + 1, uploads.size(), sameSize[i], currentFolder)) return true;
        display.leaveOut(uploads[i].size);
        return false;
    };
    auto finish = [&](FtpLib& session, size_t i) {
        TrackedTransfer tracked(display, session, withoutLeading(uploads[i].localPath, s.local), uploads[i].size,
                                i + 1);
        return upload(session, uploads[i], transferType, archive, retrier, keepTime, notes);
    };
    const size_t uploaded =
        runBatch(uploads.size(), batchWidth(), {.check = check, .start = start, .finish = finish}, *recipe);
    display.end();
    return printMessage(Level::Info, format(" {} files uploaded to {}", uploaded, fromServer(currentFolder)));
}

}  // namespace dorvan::handlers
