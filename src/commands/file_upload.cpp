#include "commands/file_upload.h"

#include <memory>

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
namespace {

std::string withoutLeading(const std::string& path, const std::string& prefix) {
    return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

}  // namespace

UploadOptions uploadOptions(std::string_view command, uint32_t encoding, char transferType, bool archive) {
    const Settings& s = settings();
    return {.command = command,
            .localFolder = s.local,
            .encoding = encoding,
            .transferType = archive ? 'I' : transferType,  // an archive is binary whatever the type of its contents
            .archive = archive,
            .overwrite = s.overwrite,
            .dryRun = s.justprint,
            .keepTime = s.keeptime,
            .notes = s.debug == 1,
            .rules = transferRules(),
            .resume = s.resume};
}

size_t dropLinksLeadingOutside(std::vector<std::string>& found, const std::string& localFolder) {
    return std::erase_if(found, [&](const std::string& path) {
        const std::string link = linkLeadingOutside(localFolder, path);
        if (!link.empty()) printMessage(Level::Error, format("Upload {} failure, {}", path, link));
        return !link.empty();
    });
}

size_t dropBackslashNames(std::vector<std::string>& found, const std::string& localFolder, std::string_view where) {
    if (platform::localSeparator() == '\\') return 0;  // no name holds one
    return std::erase_if(found, [&](const std::string& path) {
        if (withoutLeading(path, localFolder).find('\\') == std::string::npos) return false;
        printMessage(Level::Error, format("Upload {} failure, \"\\\" in its name separates folders {}", path, where));
        return true;
    });
}

std::optional<std::vector<Upload>> plannedUploads(std::vector<std::string> found, const std::string& localFolder,
                                                  bool pack) {
    std::vector<Upload> uploads;
    if (pack) {
        std::string archive = packForUpload(found);
        if (archive.empty()) return std::nullopt;
        uploads.push_back({archive, platform::fileNameOf(archive)});
    } else {
        uploads.reserve(found.size());
        for (std::string& path : found) {
            std::string remote = platform::withSlashSeparators(withoutLeading(path, localFolder));
            uploads.push_back({std::move(path), std::move(remote)});
        }
    }
    for (Upload& file : uploads) file.size = platform::fileSize(file.localPath).value_or(unknownSize);
    return uploads;
}

bool prepareUpload(FtpLib& session, const Upload& file, const UploadOptions& options, Retrier& retrier) {
    if (!options.overwrite &&
        sameSizeOnServer(session, toServer(file.remotePath, options.encoding), file.localPath, options.transferType))
        return true;
    ensureRemoteFolders(session, file.remotePath, options.currentFolder, options.encoding, retrier.stepsOn(session));
    return false;
}

Begun beginUpload(const Upload& file, size_t position, size_t count, bool sameSize, const UploadOptions& options) {
    if (options.dryRun) {
        printMessage(Level::Info, format(" found {} to {}", file.localPath, file.remotePath));
        return Begun::passedOver;
    }
    if (sameSize) {
        printMessage(Level::Info, format(" {} skiped, same size: {}", options.command, file.localPath));
        if (options.journal)
            options.journal->record(
                {.action = "skip",
                 .reason = "same size",
                 .remotePath = joinRemotePath(fromServer(options.currentFolder, options.encoding), file.remotePath),
                 .localPath = file.localPath});
        return Begun::passedOver;
    }
    reportMadeRemoteFolders(file.remotePath, options.currentFolder);
    printMessage(Level::Info, format(" {}/{} Uploading {} to {} ...", position, count,
                                     withoutLeading(file.localPath, options.localFolder), file.remotePath));
    return Begun::go;
}

bool uploadFile(FtpLib& session, const Upload& file, const UploadOptions& options, Retrier& retrier,
                std::string_view reason) {
    const std::string remotePath = toServer(file.remotePath, options.encoding);
    const JournalClock clock;
    int retried = 0;
    applyTransferRules(session, options.rules, options.archive);
    const bool ok = uploadWithRetries(session, retrier, file.remotePath, file.localPath, remotePath,
                                      options.transferType, options.resume, options.notes, &retried);
    std::string reply;
    if (ok) noteChecksum(session, options.rules, file.localPath, options.notes, options.archive ? "a ZIP archive" : "");
    if (ok && options.keepTime) keepLocalTime(session, file.localPath, remotePath, options.encoding, options.notes);
    if (!ok) {
        reply = lastResponseText(session, options.encoding);
        printMessage(Level::Error, format("Upload {} failure, {}", file.localPath, reply));
    }
    const TransferChecksum checked = ok ? session.lastChecksum() : TransferChecksum{};
    if (options.journal)
        options.journal->record(
            {.action = "upload",
             .reason = std::string(reason),
             .remotePath = joinRemotePath(fromServer(options.currentFolder, options.encoding), file.remotePath),
             .localPath = file.localPath,
             .bytes = ok && file.size != unknownSize ? file.size : 0,
             .seconds = clock.seconds(),
             .ok = ok,
             .reply = reply,
             .retries = retried,
             .checksum = checked.algorithm,
             .digest = checked.digest});
    return ok;
}

BatchSteps uploadSteps(const std::vector<Upload>& uploads, const UploadOptions& options, Retrier& retrier,
                       TransferDisplay& display) {
    // One element per file, written by the thread that checks it.
    auto sameSize = std::make_shared<std::vector<char>>(uploads.size(), false);
    auto check = [&, sameSize](FtpLib& session, size_t i) {
        if (!options.dryRun) (*sameSize)[i] = prepareUpload(session, uploads[i], options, retrier);
    };
    auto start = [&, sameSize](FtpLib&, size_t i) {
        const Begun begun = beginUpload(uploads[i], i + 1, uploads.size(), (*sameSize)[i], options);
        if (begun != Begun::go) display.leaveOut(uploads[i].size);
        return begun;
    };
    auto finish = [&](FtpLib& session, size_t i) {
        TrackedTransfer tracked(display, session, withoutLeading(uploads[i].localPath, options.localFolder),
                                uploads[i].size, i + 1);
        return uploadFile(session, uploads[i], options, retrier);
    };
    return {.check = check, .start = start, .finish = finish, .stopped = [&retrier] { return retrier.stopped(); }};
}

}  // namespace dorvan
