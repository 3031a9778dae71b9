// mput: every local file the filters select, to the current remote folder,
// optionally packed into one archive first.
#include "commands/file_upload.h"
#include "commands/handlers.h"
#include "commands/journal.h"
#include "commands/one_shot.h"
#include "commands/parallel_batch.h"
#include "commands/retry.h"
#include "commands/scans_from_settings.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_steps.h"
#include "ftp/ftp_lib.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {

bool mput() {
    Settings& s = settings();
    std::optional<SessionRecipe> recipe = batchSessionRecipe("mput");
    if (!recipe) return false;
    Journal journal;
    if (!s.justprint && !journal.open("mput")) return false;
    std::vector<std::string> found = scanLocal("mput");
    const bool pack = s.compress.size() > 3;
    size_t dropped = dropLinksLeadingOutside(found, s.local);
    if (pack || s.session->separatesWithBackslash())
        dropped += dropBackslashNames(found, s.local, pack ? "in the archive" : "on the server");
    if (found.empty()) return printMessage(Level::Error, format("{} failure: nothing to upload", "mput"));
    ClearOnExit oneShot{&s.compress};
    const std::optional<std::vector<Upload>> uploads = plannedUploads(std::move(found), s.local, pack);
    if (!uploads) return false;
    UploadOptions options = uploadOptions("mput", recipe->encoding, recipe->type, pack);
    options.currentFolder = recipe->folder = s.session->pwd();
    if (journal.isOpen()) options.journal = &journal;
    Retrier retrier(*recipe);
    TransferDisplay display(uploads->size(), totalSize(*uploads));
    const BatchTally tally =
        runBatch(uploads->size(), batchWidth(), uploadSteps(*uploads, options, retrier, display), *recipe);
    display.end();
    return printMessage(Level::Info, format(" {} files uploaded to {}", tally.done, fromServer(options.currentFolder)) +
                                         failedNote(dropped + tally.failed));
}

}  // namespace dorvan::handlers
