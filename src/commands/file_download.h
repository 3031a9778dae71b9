#pragma once
// One remote file of a batch into the local folder: the steps mget runs for
// each file its scan found, for any command that downloads such files. The
// steps read the options they are given, never the settings, so the batch's
// threads may run them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands/parallel_batch.h"
#include "commands/transfer_rules.h"
#include "ftp/ftp_file_info.h"
#include "ftp/resumed_transfers.h"
#include "platform/stale_parts.h"

namespace dorvan {

class FtpLib;
class Journal;
class Retrier;
class TransferDisplay;

struct DownloadOptions {
    std::string_view command;    // names its lines
    std::string localFolder;     // where the files' paths begin
    uint32_t encoding = 0;       // of the names on the server
    bool overwrite = true;       // false: a local file of the listed size stays
    bool dryRun = false;         // each file is only named
    bool keepTime = false;       // a downloaded file takes the remote file's time
    bool notes = false;          // debug level 1
    bool resume = false;         // a part left after the retries stays for the next run
    TransferRules rules{};       // checksum and speed cap
    Journal* journal = nullptr;  // records each download and skip
    std::string remoteFolder{};  // where the remote paths begin, for the journal (decoded; may be empty)
    std::string server{};        // "user@host:port", which a kept part records
    std::shared_ptr<platform::StalePartSweeper> sweeper = std::make_shared<platform::StalePartSweeper>();
};

// The rules of the tries of one download: restarts where retries follow,
// and with `resume` a part kept for `server`'s file.
ResumeRules resumeRules(const Retrier& retrier, bool resume, const std::string& server,
                        platform::StalePartSweeper* sweeper);
// "user@host:port" of the open session.
std::string sessionServer();

// The options the settings give `command`, whose sessions use `encoding`;
// on the command's thread.
DownloadOptions downloadOptions(std::string_view command, uint32_t encoding);

// The ordered step for `file` (its path relative to the remote start), the
// `position`th of `count`: Begun::go when it is to be downloaded. A name or a
// link that leads outside the local folder, a local file of its size (when
// not overwriting) and a dry run end it here, each with its line; otherwise
// its local folders are made and its numbered line shown.
Begun beginDownload(const FtpFileInfo& file, size_t position, size_t count, const DownloadOptions& options);

// The download with its retries, going on after a cut where it can, and the
// time kept; true when the file arrived whole, else the failure is reported.
// `reason` goes into the journal record.
bool downloadFile(FtpLib& session, const FtpFileInfo& file, const DownloadOptions& options, Retrier& retrier,
                  std::string_view reason = {});

// Both steps for each of `files`, shown on `display`; everything given must
// outlive the batch.
BatchSteps downloadSteps(const std::vector<FtpFileInfo>& files, const DownloadOptions& options, Retrier& retrier,
                         TransferDisplay& display);

}  // namespace dorvan
