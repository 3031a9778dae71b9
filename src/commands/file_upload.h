#pragma once
// One local file of a batch to the current remote folder: the steps mput
// runs for each file its scan found (or for the archive it packed them
// into), for any command that uploads such files. The steps read the options
// they are given, never the settings, so the batch's threads may run them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/parallel_batch.h"
#include "commands/transfer_rules.h"
#include "ftp/ftp_file_info.h"

namespace dorvan {

class FtpLib;
class Journal;
class Retrier;
class TransferDisplay;

struct Upload {
    std::string localPath;
    std::string remotePath;  // relative to the current remote folder, "/" separated
    uint64_t size = unknownSize;
};

struct UploadOptions {
    std::string_view command;     // names its lines
    std::string localFolder;      // where the local paths begin
    std::string currentFolder{};  // the remote folder the paths start from, as the server spells it
    uint32_t encoding = 0;        // of the names on the server
    char transferType = 'I';
    bool archive = false;        // the one file is a packed archive
    bool overwrite = true;       // false: a server's file of the same size stays
    bool dryRun = false;         // each file is only named
    bool keepTime = false;       // an uploaded file takes the local file's time, where the server can set it
    bool notes = false;          // debug level 1
    TransferRules rules{};       // checksum and speed cap
    Journal* journal = nullptr;  // records each upload and skip
    bool resume = false;         // through a temporary name, continued after a cut
};

// The options the settings give `command`, whose sessions use `encoding`
// and `transferType` (binary for an `archive`); on the command's thread. The
// current folder is left to the caller.
UploadOptions uploadOptions(std::string_view command, uint32_t encoding, char transferType, bool archive);

// Takes out of `found` (full paths below `localFolder`) the symbolic links
// that lead outside it, each reported as a failed upload; gives how many.
size_t dropLinksLeadingOutside(std::vector<std::string>& found, const std::string& localFolder);

// Takes out of `found` (full paths below `localFolder`) the files whose name
// below it holds "\", which separates folders `where` ("in the archive", "on
// the server"), each reported as a failed upload; gives how many.
size_t dropBackslashNames(std::vector<std::string>& found, const std::string& localFolder, std::string_view where);

// What goes up for `found` (full paths below `localFolder`): each file to
// the same path below the current remote folder, or, with `pack`, the
// archive the compress setting names, packed from them, under its own name.
// Nothing when packing fails (reported).
std::optional<std::vector<Upload>> plannedUploads(std::vector<std::string> found, const std::string& localFolder,
                                                  bool pack);

// The questions to the server before the ordered step, beside the other
// sessions' work: true when the server holds a file of its size (asked only
// when not overwriting); otherwise the file's remote folders are made.
bool prepareUpload(FtpLib& session, const Upload& file, const UploadOptions& options, Retrier& retrier);

// The ordered step for `file`, the `position`th of `count`: Begun::go when it is
// to be uploaded. A dry run and a file of the same size on the server
// (`sameSize`) end it here, each with its line; otherwise the folders made
// for it and its numbered line are shown.
Begun beginUpload(const Upload& file, size_t position, size_t count, bool sameSize, const UploadOptions& options);

// The upload with its retries, going on after a cut where it can, and the
// time kept; true when the file arrived, else the failure is reported.
// `reason` goes into the journal record.
bool uploadFile(FtpLib& session, const Upload& file, const UploadOptions& options, Retrier& retrier,
                std::string_view reason = {});

// The three steps for each of `uploads`, shown on `display`; everything
// given must outlive the batch.
BatchSteps uploadSteps(const std::vector<Upload>& uploads, const UploadOptions& options, Retrier& retrier,
                       TransferDisplay& display);

}  // namespace dorvan
