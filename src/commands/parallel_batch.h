#pragma once
// Spreading the files of a batch command over several sessions to the same
// server: the command's own session on the calling thread, and extra ones,
// each on a thread of its own, for as long as the batch runs.
#include <cstddef>
#include <functional>
#include <string>

namespace dorvan {

class FtpLib;

// The work on one file of a batch, in two steps, each given the session to use.
struct BatchSteps {
    // Runs for one file at a time in the files' order, so that folders are
    // made before the files that need them and the numbered lines come out
    // in order. False when the file is done with here (skipped, only listed).
    std::function<bool(FtpLib& session, size_t index)> start;
    // Runs beside the other sessions' work; true when the file was transferred.
    std::function<bool(FtpLib& session, size_t index)> finish;
};

// Runs both steps for the files 0 to count - 1 and returns how many finished
// with true. With width 1 the command's session does everything in order on
// the calling thread. Otherwise up to width - 1 extra sessions open while the
// batch runs, each logged in like the command's session and changed to
// `remoteFolder` (the command's session's current folder; asked for when
// empty), and quit when the batch ends. One that cannot open leaves its share
// to the others. After an interrupt no further file is begun. An exception
// from a step ends the batch and is rethrown here once every thread is done.
size_t runBatch(size_t count, int width, const BatchSteps& steps, std::string remoteFolder = {});

}  // namespace dorvan
