// mirror: makes the local folder equal to the remote tree (direction down)
// or the remote tree equal to the local folder (direction up).
#include <atomic>
#include <vector>

#include "commands/batch_folders.h"
#include "commands/file_download.h"
#include "commands/file_upload.h"
#include "commands/handlers.h"
#include "commands/journal.h"
#include "commands/mirror_plan.h"
#include "commands/mirror_state.h"
#include "commands/mirror_trees.h"
#include "commands/parallel_batch.h"
#include "commands/retry.h"
#include "commands/scans_from_settings.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "platform/clock.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {
namespace {

constexpr std::string_view command = "mirror";

struct Tally {
    size_t added = 0;
    size_t updated = 0;
    size_t deleted = 0;
    size_t failed = 0;
    uint64_t bytes = 0;
    bool troubled = false;  // a listing, a folder or the delete cap failed
};

// Everything one run needs, read from the settings on the command's thread.
struct Run {
    bool up = false;
    bool dryRun = false;
    std::string local;         // ends with the separator
    std::string remoteFolder;  // decoded, as the server spells it
    SessionRecipe recipe;
    Journal journal;
    Tally tally;

    std::string localPath(const std::string& path) const { return local + platform::withLocalSeparators(path); }
    std::string remotePath(const std::string& path) const { return joinRemotePath(remoteFolder, path); }
    void record(std::string_view action, const std::string& path, std::string reason, bool ok = true,
                std::string reply = {}, double seconds = 0) {
        journal.record({.action = action,
                        .reason = std::move(reason),
                        .remotePath = remotePath(path),
                        .localPath = localPath(path),
                        .seconds = seconds,
                        .ok = ok,
                        .reply = std::move(reply)});
    }
};

// Remote folders made with their parents: `folder` relative to the current one, or absolute.
bool makeRemoteFolders(FtpLib& session, const std::string& folder, Retrier& retrier, uint32_t encoding) {
    ensureRemoteFolders(session, folder + "/", "", encoding, retrier.stepsOn(session));
    return session.chdir(toServer(folder, encoding));
}

// The remote folder to mirror is the current one; going up, one that cannot be entered is made.
bool enterRemoteFolder(Run& run, bool& missing) {
    Settings& s = settings();
    missing = false;
    if (!s.remoteChangeFailed) return true;
    if (!run.up)
        return printMessage(Level::Error, format("{} failure: the remote folder {} cannot be entered, {}", command,
                                                 s.remote, lastResponseText()));
    if (run.dryRun) {
        missing = true;
        printMessage(Level::Info, format(" {}: mkdir {} (new)", command, s.remote));
        return true;
    }
    Retrier retrier(run.recipe);
    if (!makeRemoteFolders(*s.session, s.remote, retrier, run.recipe.encoding))
        return printMessage(Level::Error, format("{} failure: the remote folder {} cannot be made, {}", command,
                                                 s.remote, lastResponseText()));
    s.remoteChangeFailed = false;
    printMessage(Level::Info, format(" Made dir: {}", s.remote));
    run.record("mkdir", "", "new");
    return true;
}

void printPlan(Run& run, const MirrorPlan& plan, bool localTargetMissing) {
    auto say = [&](std::string_view action, const std::string& path, std::string_view reason) {
        printMessage(Level::Info, format(" {}: {} {} ({})", command, action, path, reason));
    };
    if (localTargetMissing) say("mkdir", run.local, "new");
    for (const std::string& folder : plan.folders) say("mkdir", folder, "new");
    for (const PlannedTransfer& file : plan.transfers)
        say(run.up ? "upload" : "download", file.path, verdictName(file.verdict));
    for (const std::string& file : plan.deletes) say("delete", file, "vanished");
    for (const std::string& folder : plan.rmdirs) say("rmdir", folder, "vanished");
}

void makeFolders(Run& run, const MirrorPlan& plan, FtpLib& session, Retrier& retrier) {
    for (const std::string& folder : plan.folders) {
        std::string error;
        bool made;
        if (run.up) {
            made =
                retrier.run(session, folder, [&](int) { return session.mkdir(toServer(folder, run.recipe.encoding)); });
            if (!made) error = lastResponseText(session, run.recipe.encoding);
        } else {
            made = ensureLocalFolders(run.localPath(folder) + platform::localSeparator(), &error);
        }
        if (made)
            printMessage(Level::Info, format(" Made dir: {}", folder));
        else {
            printMessage(Level::Error, format("{} failure: mkdir {}, {}", command, folder, error));
            run.tally.troubled = true;
        }
        run.record("mkdir", folder, "new", made, error);
    }
}

// The transfers of the plan over the batch's sessions; their outcomes in the tally.
void transfer(Run& run, const MirrorPlan& plan, const MirrorTree& source, Retrier& retrier) {
    const std::vector<PlannedTransfer>& files = plan.transfers;
    if (files.empty()) return;
    std::vector<char> done(files.size(), false);  // one element per file, written by the thread that sends it
    std::vector<FtpFileInfo> downloads;
    std::vector<Upload> uploads;
    uint64_t total = 0;
    for (const PlannedTransfer& file : files) {
        const TreeFile& found = source.files.at(file.path);
        if (found.size != unknownSize) total += found.size;
        if (run.up)
            uploads.push_back({source.spelling(file.path), file.path, found.size});
        else
            downloads.push_back({.name = source.spelling(file.path),
                                 .type = FtpFileType::file,
                                 .size = found.size,
                                 .modify = found.time,
                                 .modifyPrecision = found.precision});
    }
    DownloadOptions down = downloadOptions(command, run.recipe.encoding);
    down.overwrite = true;
    down.dryRun = false;
    down.keepTime = true;
    down.journal = &run.journal;
    down.remoteFolder = run.remoteFolder;
    UploadOptions upOptions = uploadOptions(command, run.recipe.encoding, run.recipe.type, false);
    upOptions.overwrite = true;
    upOptions.dryRun = false;
    upOptions.keepTime = true;
    upOptions.resume = true;  // through a temporary name, renamed over the file: a reader never sees half of it
    upOptions.journal = &run.journal;
    upOptions.currentFolder = toServer(run.remoteFolder, run.recipe.encoding);
    TransferDisplay display(files.size(), total);
    BatchSteps steps{.start =
                         [&](FtpLib&, size_t i) {
                             const Begun begun = run.up ? beginUpload(uploads[i], i + 1, files.size(), false, upOptions)
                                                        : beginDownload(downloads[i], i + 1, files.size(), down);
                             if (begun != Begun::go) display.leaveOut(run.up ? uploads[i].size : downloads[i].size);
                             return begun;
                         },
                     .finish =
                         [&](FtpLib& session, size_t i) {
                             const std::string_view reason = verdictName(files[i].verdict);
                             if (run.up) {
                                 TrackedTransfer tracked(display, session, files[i].path, uploads[i].size, i + 1);
                                 done[i] = uploadFile(session, uploads[i], upOptions, retrier, reason);
                             } else {
                                 TrackedTransfer tracked(display, session, files[i].path, downloads[i].size, i + 1);
                                 done[i] = downloadFile(session, downloads[i], down, retrier, reason);
                             }
                             return done[i] != 0;
                         },
                     .stopped = [&retrier] { return retrier.stopped(); }};
    SessionRecipe recipe = run.recipe;
    recipe.folder = toServer(run.remoteFolder, run.recipe.encoding);
    runBatch(files.size(), batchWidth(), steps, recipe);
    display.end();
    for (size_t i = 0; i < files.size(); ++i) {
        if (!done[i]) {
            ++run.tally.failed;
            continue;
        }
        (files[i].verdict == MirrorVerdict::missing ? run.tally.added : run.tally.updated) += 1;
        const uint64_t size = run.up ? uploads[i].size : downloads[i].size;
        if (size != unknownSize) run.tally.bytes += size;
    }
}

// Removes the file (or the emptied `folder`) at `path` from the target: on the
// server with retries going up, else from the local disk.
bool removeFromTarget(Run& run, FtpLib& session, Retrier& retrier, const std::string& path, bool folder,
                      std::string* error) {
    if (run.up) {
        const std::string name = toServer(path, run.recipe.encoding);
        if (retrier.run(session, path, [&](int) { return folder ? session.rmdir(name) : session.deleteFile(name); }))
            return true;
        *error = lastResponseText(session, run.recipe.encoding);
        return false;
    }
    const std::string local = run.localPath(path);
    if (folder) return platform::removeFolder(local, error);
    if (platform::removeFile(local)) return true;
    *error = local + ": not removed";
    return false;
}

// Deletes on the target, files first, then the emptied folders.
void removeVanished(Run& run, const MirrorPlan& plan, FtpLib& session, Retrier& retrier) {
    for (const std::string& file : plan.deletes) {
        const JournalClock clock;
        std::string error;
        const bool ok = removeFromTarget(run, session, retrier, file, false, &error);
        if (ok) {
            ++run.tally.deleted;
            printMessage(Level::Info, format(" {}: deleted {}", command, file));
        } else {
            ++run.tally.failed;
            printMessage(Level::Error, format("{} failure: delete {}, {}", command, file, error));
        }
        run.record("delete", file, "vanished", ok, error, clock.seconds());
    }
    for (const auto& [file, why] : plan.keptBack) run.record("skip", file, why);
    for (const std::string& folder : plan.rmdirs) {
        std::string error;
        const bool ok = removeFromTarget(run, session, retrier, folder, true, &error);
        if (ok)
            printMessage(Level::Info, format(" {}: removed folder {}", command, folder));
        else {
            run.tally.troubled = true;
            printMessage(Level::Error, format("{} failure: rmdir {}, {}", command, folder, error));
        }
        run.record("rmdir", folder, "vanished", ok, error);
    }
}

// The folders of a tree walked without recurse are only names: never made, never removed.
void keepFoldersOut(MirrorTree& tree) {
    tree.others.insert(tree.folders.begin(), tree.folders.end());
    tree.folders.clear();
}

// After uploads to a server that cannot set times: what each uploaded file now is on both sides.
void rememberUploads(Run& run, MirrorState& state, const MirrorPlan& plan, const MirrorTree& local,
                     const MirrorTree& remoteBefore, FtpLib& session, Retrier& retrier) {
    state.keepMatching(local, remoteBefore);
    if (run.tally.added + run.tally.updated > 0) {
        const MirrorTree after =
            scanRemoteTree(session, run.recipe, batchWidth(), retrier, settings().recurse, false, command);
        for (const PlannedTransfer& file : plan.transfers) {
            const auto localFile = local.files.find(file.path);
            const auto remoteFile = after.files.find(file.path);
            if (remoteFile != after.files.end() && localFile != local.files.end() &&
                remoteFile->second.size == localFile->second.size)
                state.remember(file.path, localFile->second, remoteFile->second);
        }
    }
    std::string error;
    if (!state.save(&error))
        printMessage(Level::Warn, format(" {}: the state file is not written, {}", command, error));
}

}  // namespace

bool mirror() {
    Settings& s = settings();
    Run run;
    run.up = s.direction == "up";
    run.dryRun = s.justprint;
    run.local = s.local;
    const std::optional<SessionRecipe> recipe = batchSessionRecipe(command);
    if (!recipe) return false;
    run.recipe = *recipe;
    if (!run.dryRun && !run.journal.open(command)) return false;
    bool remoteMissing = false;
    if (!enterRemoteFolder(run, remoteMissing)) return false;
    FtpLib& session = *s.session;
    if (!remoteMissing) {
        std::string folder;
        if (!session.pwd(folder))
            return printMessage(Level::Error,
                                format("{} failure: the remote folder is unknown, {}", command, lastResponseText()));
        run.remoteFolder = fromServer(folder, run.recipe.encoding);
        run.recipe.folder = folder;
    }
    const bool localMissing = !platform::pathExists(run.local);
    if (localMissing && !run.up) {
        std::string error;
        if (!run.dryRun) {
            if (!ensureLocalFolders(run.local, &error))
                return printMessage(Level::Error, format("{} failure: {}", command, error));
            printMessage(Level::Info, format(" Made dir: {}", run.local));
            run.journal.record({.action = "mkdir", .reason = "new", .localPath = run.local});
        }
    } else if (localMissing) {  // the source of an upload
        return printMessage(Level::Error, format("specified local '{}' does not exists", run.local));
    } else if (!platform::isFolder(run.local)) {
        return printMessage(Level::Error, format("specified local '{}' is not a folder", run.local));
    }

    Retrier retrier(run.recipe);
    const int width = batchWidth();
    MirrorTree remote;
    // Deleting on the server: a folder that may be a link is not walked, so nothing is deleted through one.
    if (!remoteMissing)
        remote = scanRemoteTree(session, run.recipe, width, retrier, s.recurse, run.up && s.mirrorDeletes, command);
    MirrorTree local = scanLocalTree(run.local, s.recurse, command);
    if (!s.recurse) {
        keepFoldersOut(remote);
        keepFoldersOut(local);
    }
    const bool scansComplete = remote.unlisted.empty() && local.unlisted.empty();
    ScanFilter filter;
    filter.now = platform::nowTicks();
    applyFilterSettings(filter, nullptr);
    filter.maxFiles = filter.maxFolders = unsetBound;
    std::optional<MirrorState> state;
    if (run.up && !remoteMissing && !session.setsModifyTimes()) {
        state.emplace(format("{}:{}\t{}\t{}\t{}", run.recipe.host, run.recipe.port, run.recipe.user, run.remoteFolder,
                             run.local));
        state->load();
    }
    const MirrorPlan plan = planMirror(run.up ? local : remote, run.up ? remote : local, filter,
                                       {.deleting = s.mirrorDeletes,
                                        .maxDelete = s.maxdelete,
                                        .notes = s.debug == 1,
                                        .state = state ? &*state : nullptr,
                                        .sourceIsLocal = run.up});
    if (run.dryRun) {
        printPlan(run, plan, localMissing && !run.up);
    } else {
        makeFolders(run, plan, session, retrier);
        transfer(run, plan, run.up ? local : remote, retrier);
        // A session that could not return to the mirrored folder: its paths lead elsewhere now.
        if (retrier.stopped()) {
            run.tally.troubled = true;
        } else {
            removeVanished(run, plan, session, retrier);
            if (state) rememberUploads(run, *state, plan, local, remote, session, retrier);
        }
    }
    if (plan.wouldDelete > 0) {
        run.tally.troubled = true;
        printMessage(Level::Error, format("{} failure: {} files would be deleted, more than the cap of {}; nothing was "
                                          "deleted (allow it with --maxdelete {})",
                                          command, plan.wouldDelete, plan.cap, plan.wouldDelete));
    }
    const std::string summary =
        run.dryRun
            ? format(" {}: {} to transfer, {} to delete, {} unchanged (nothing done)", command, plan.transfers.size(),
                     plan.deletes.size(), plan.unchanged)
            : format(" {}: {} new, {} updated, {} deleted, {} unchanged, {} failed, {} bytes", command, run.tally.added,
                     run.tally.updated, run.tally.deleted, plan.unchanged, run.tally.failed, run.tally.bytes);
    const bool ok = scansComplete && !run.tally.troubled && run.tally.failed == 0;
    printMessage(ok ? Level::Info : Level::Error, summary);
    return ok;
}

}  // namespace dorvan::handlers
