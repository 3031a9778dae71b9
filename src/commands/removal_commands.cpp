// rmd and mdele: removing one folder (its whole tree with recurse) and many files.
#include <memory>
#include <vector>

#include "commands/file_removal.h"
#include "commands/handlers.h"
#include "commands/journal.h"
#include "commands/parallel_batch.h"
#include "commands/retry.h"
#include "commands/scans_from_settings.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "platform/console.h"
#include "scan/tree_removal.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {

bool rmd() {
    Settings& s = settings();
    std::shared_ptr<FtpLib> session = s.session;
    Retrier retrier(commandRecipe());
    const std::string serverName = toServer(s.name);
    Journal journal;
    if (!s.justprint && !journal.open("rmd")) return false;
    const std::string current = journal.isOpen() ? currentDir() : std::string();
    auto record = [&](std::string_view action, const std::string& name, bool ok, const std::string& reply) {
        journal.record(
            {.action = action,
             .remotePath = name.starts_with('/') ? fromServer(name) : joinRemotePath(current, fromServer(name)),
             .ok = ok,
             .reply = reply});
    };
    if (s.recurse) {
        TreeRemoval remover(*session, retrier.stepsOn(*session));
        remover.justPrint = s.justprint;
        remover.verbose = s.debug == 1;
        remover.codePage = s.encoding;
        remover.remove(serverName);
        for (const std::string& error : remover.errors())
            printMessage(Level::Error, format("{} failure: {}", "rmd", fromServer(error)));
        if (s.justprint) {
            for (const FtpFileInfo& file : remover.deletedFiles())
                platform::consoleWriteLine(format(" found file: {}", fromServer(file.name)));
            for (const FtpFileInfo& folder : remover.removedFolders())
                platform::consoleWriteLine(format(" found folder: {}", fromServer(folder.name)));
            return true;
        }
        for (const FtpFileInfo& file : remover.deletedFiles()) record("delete", file.name, true, "");
        for (const FtpFileInfo& folder : remover.removedFolders()) record("rmdir", folder.name, true, "");
        for (const FtpFileInfo& failed : remover.failures())
            record(failed.type == FtpFileType::dir ? "rmdir" : "delete", failed.name, false, "refused");
        // The name is relative to a current folder the server no longer has.
        if (remover.astray()) return printMessage(Level::Error, format("remove dir '{}' failure", s.name));
    }
    if (retrier.run(*session, s.name, [&](int) { return session->rmdir(serverName); })) {
        record("rmdir", serverName, true, "");
        return printMessage(Level::Info, format(" directory '{}' removed", s.name));
    }
    record("rmdir", serverName, false, lastResponseText());
    return printMessage(Level::Error, format("remove dir '{}' failure, {}", s.name, lastResponseText()));
}

bool mdele() {
    Settings& s = settings();
    const std::optional<SessionRecipe> recipe = batchSessionRecipe("mdele");
    if (!recipe) return false;
    Retrier retrier(*recipe);
    const RemoteScanResults scan =
        scanRemote("", {.command = "mdele", .deleting = true, .runStep = retrier.stepsOn(*s.session)});
    if (s.debug == 1)
        for (const FtpFileInfo& file : scan.undated)
            printMessage(Level::Info, format(" {}: kept {}, its time is unknown", "mdele", fromServer(file.name)));
    if (scan.files.empty()) {
        printMessage(Level::Error, format(" {}: No file matched on {}", "mdele", s.remote.empty() ? s.host : s.remote));
        if (s.debug == 1) platform::consoleWriteLine(commandHelp("mdele"));
        return false;
    }
    Journal journal;
    if (!s.justprint && !journal.open("mdele")) return false;
    RemovalOptions options{.command = "mdele", .encoding = recipe->encoding, .dryRun = s.justprint};
    if (journal.isOpen()) {
        options.journal = &journal;
        options.remoteFolder = currentDir();
    }
    const BatchTally tally =
        runBatch(scan.files.size(), batchWidth(), removalSteps(scan.files, options, retrier), *recipe);
    return printMessage(Level::Info, format(" {}: {} files deleted on {}", "mdele", tally.done, currentDir()) +
                                         failedNote(tally.failed) + scanFailuresNote(scan));
}

}  // namespace dorvan::handlers
