// rmd and mdele: removing one folder (its whole tree with recurse) and many files.
#include <memory>
#include <vector>

#include "commands/handlers.h"
#include "commands/parallel_batch.h"
#include "commands/remote_scan.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/ftp_rmd.h"
#include "ftp/listed_name.h"
#include "platform/console.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {

bool rmd() {
    Settings& s = settings();
    std::shared_ptr<FtpLib> session = s.session;
    if (s.recurse) {
        FtpRmd remover(*session);
        remover.justPrint = s.justprint;
        remover.verbose = s.debug == 1;
        remover.codePage = s.encoding;
        remover.remove(toServer(s.name));
        for (const std::string& error : remover.errors())
            printMessage(Level::Error, format("{} failure: {}", "rmd", fromServer(error)));
        if (s.justprint) {
            for (const FtpFileInfo& file : remover.deletedFiles())
                platform::consoleWrite(format(" found file: {}", fromServer(file.name)) + "\r\n");
            for (const FtpFileInfo& folder : remover.removedFolders())
                platform::consoleWrite(format(" found folder: {}", fromServer(folder.name)) + "\r\n");
            return true;
        }
        // The name is relative to a current folder the server no longer has.
        if (remover.astray()) return printMessage(Level::Error, format("remove dir '{}' failure", s.name));
    }
    if (session->rmdir(toServer(s.name))) return printMessage(Level::Info, format(" directory '{}' removed", s.name));
    return printMessage(Level::Error, format("remove dir '{}' failure, {}", s.name, lastResponseText()));
}

bool mdele() {
    Settings& s = settings();
    const std::optional<SessionRecipe> recipe = batchSessionRecipe("mdele");
    if (!recipe) return false;
    ClearRemoteScanOnExit clearScan;
    const bool found = scanRemote("", {.command = "mdele", .deleting = true});
    if (s.debug == 1)
        for (const FtpFileInfo& file : remoteScanResults().undated)
            printMessage(Level::Info, format(" {}: kept {}, its time is unknown", "mdele", fromServer(file.name)));
    if (!found) {
        printMessage(Level::Error, format(" {}: No file matched on {}", "mdele", s.remote.empty() ? s.host : s.remote));
        if (s.debug == 1) platform::consoleWrite(commandHelp("mdele") + "\r\n");
        return false;
    }
    const std::vector<FtpFileInfo>& files = remoteScanResults().files;
    auto begin = [&files, &s](FtpLib&, size_t i) {
        const std::string shown = fromServer(files[i].name);
        // Only names below the current folder: a listing may name "..\x" or "/x".
        if (!isSafeListedName(shown)) {
            printMessage(Level::Error, format("delete failure: '{}'", shown));
        } else if (s.justprint) {
            printMessage(Level::Info, format(" {}: found {}", "mdele", shown));
        } else {
            printMessage(Level::Info, format(" {}/{} delting {}...", i + 1, files.size(), shown));
            return true;
        }
        return false;
    };
    auto remove = [&files, &recipe](FtpLib& session, size_t i) {
        if (session.deleteFile(files[i].name)) return true;
        printMessage(Level::Error, format("delete failure: '{}'", fromServer(files[i].name, recipe->encoding)));
        return false;
    };
    const size_t deleted =
        runBatch(files.size(), s.justprint ? 1 : s.parallel, {.start = begin, .finish = remove}, *recipe);
    return printMessage(Level::Info,
                        format(" {}: {} files deleted on {}", "mdele", deleted, currentDir()) + scanFailuresNote());
}

}  // namespace dorvan::handlers
