#pragma once
// Spreading the files of a batch command over several sessions to the same
// server: the command's own session on the calling thread, and extra ones,
// each on a thread of its own, for as long as the batch runs.
#include <cstddef>
#include <functional>

#include "ftp/session_recipe.h"

namespace dorvan {

class FtpLib;

// How the ordered step of a file ended.
enum class Begun {
    go,          // the file's finish is to run
    passedOver,  // done with here: skipped, or only listed
    failed,      // done with here: reported as failed
};

// The work on one file of a batch, in up to three steps, each given the
// session to use; all three run on the same thread for one file.
struct BatchSteps {
    // Optional. Runs beside the other sessions' work, before the file's
    // start: the questions to the server whose answers start reports.
    std::function<void(FtpLib& session, size_t index)> check = nullptr;
    // Runs for one file at a time in the files' order, so that folders are
    // made before the files that need them and the numbered lines come out
    // in order.
    std::function<Begun(FtpLib& session, size_t index)> start;
    // Runs beside the other sessions' work; true when the file was
    // transferred, false when it failed.
    std::function<bool(FtpLib& session, size_t index)> finish;
    // Optional. True when no further file is to be begun (Retrier::stopped).
    std::function<bool()> stopped = nullptr;
};

// What became of a batch's files.
struct BatchTally {
    size_t done = 0;    // finished with true
    size_t failed = 0;  // failed at their start or finish
};

// Runs the steps for the files 0 to count - 1 and counts how they ended. With width 1 the command's session does
// everything in order on the calling thread. Otherwise up to width - 1 extra sessions open from `recipe`
// (batchSessionRecipe; its folder is asked of the command's session when empty) while the batch runs, and quit when it
// ends. When the folder stays unknown, the command's session does everything (said at debug level 1). A session that
// cannot open leaves its share to the others, and so, with retries set, does one whose connection was lost for good.
// The steps run on several threads: they read the recipe, never the settings. After an interrupt, or once steps.stopped
// says so, no further file is begun. An exception from a step ends the batch and is rethrown here once every thread is
// done.
BatchTally runBatch(size_t count, int width, const BatchSteps& steps, SessionRecipe recipe);

// The width of a batch command: the parallel setting, or one for a dry run,
// which opens no extra session.
int batchWidth();

}  // namespace dorvan
