// mget: every remote file the filters select, into the local folder.
#include "commands/file_download.h"
#include "commands/handlers.h"
#include "commands/journal.h"
#include "commands/parallel_batch.h"
#include "commands/retry.h"
#include "commands/scans_from_settings.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {

bool mget() {
    Settings& s = settings();
    const std::optional<SessionRecipe> recipe = batchSessionRecipe("mget");
    if (!recipe) return false;
    Journal journal;
    if (!s.justprint && !journal.open("mget")) return false;
    Retrier retrier(*recipe);
    const RemoteScanResults scan = scanRemote("", {.command = "mget", .runStep = retrier.stepsOn(*s.session)});
    const std::vector<FtpFileInfo>& files = scan.files;
    if (files.empty())
        return printMessage(Level::Error, format("{} failure: No files matched on : {}", "mget", currentDir()));
    DownloadOptions options = downloadOptions("mget", recipe->encoding);
    if (journal.isOpen()) {
        options.journal = &journal;
        options.remoteFolder = currentDir();
    }
    TransferDisplay display(files.size(), totalSize(files));
    const BatchTally tally =
        runBatch(files.size(), batchWidth(), downloadSteps(files, options, retrier, display), *recipe);
    display.end();
    return printMessage(Level::Info, format("{} files saved to {}", tally.done, s.local) + failedNote(tally.failed) +
                                         scanFailuresNote(scan));
}

}  // namespace dorvan::handlers
