#pragma once
// One remote file of a batch deleted: the steps mdele runs for each file its
// scan found, for any command that deletes such files. The steps read the
// options they are given, never the settings, so the batch's threads may run
// them.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "commands/parallel_batch.h"
#include "ftp/ftp_file_info.h"

namespace dorvan {

class FtpLib;
class Journal;
class Retrier;

struct RemovalOptions {
    std::string_view command;    // names its lines
    uint32_t encoding = 0;       // of the names on the server
    bool dryRun = false;         // each file is only named
    Journal* journal = nullptr;  // records each delete
    std::string remoteFolder{};  // where the paths begin, for the journal (decoded; may be empty)
};

// The ordered step for `file` (its path relative to the current remote
// folder), the `position`th of `count`: Begun::go when it is to be deleted. A name
// that leads outside the folder and a dry run end it here, each with its
// line; otherwise its numbered line is shown.
Begun beginRemoval(const FtpFileInfo& file, size_t position, size_t count, const RemovalOptions& options);

// DELE with its retries; true when the file is gone, else the failure is reported.
bool removeFile(FtpLib& session, const FtpFileInfo& file, const RemovalOptions& options, Retrier& retrier);

// Both steps for each of `files`; everything given must outlive the batch.
BatchSteps removalSteps(const std::vector<FtpFileInfo>& files, const RemovalOptions& options, Retrier& retrier);

}  // namespace dorvan
