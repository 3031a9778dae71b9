#pragma once
// Steps that single-file and batch transfers share: the overwrite-by-size
// checks, the sizes of a batch and packing an upload into its archive.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_file_info.h"

namespace dorvan {

class FtpLib;
class Retrier;

// Uploads `localPath` to `remotePath` (in the server's code page) with the
// retries of `retrier`, each naming `shown`. With `resume`, through a
// temporary name of its own that a try after a cut continues (ReplacingUpload),
// else by STOR to the target's name, the whole file on each try. `notes`
// (debug level 1) tells when the target had to be deleted before the rename.
// `retried`, when given, is set to the number of the last try (0 first).
bool uploadWithRetries(FtpLib& session, Retrier& retrier, std::string_view shown, const std::string& localPath,
                       const std::string& remotePath, char transferType, bool resume, bool notes,
                       int* retried = nullptr);

// True when `localPath` is a regular file of `size` bytes; an unknown size
// never matches.
bool localFileHasSize(const std::string& localPath, uint64_t size);

// True when the server's file (`serverName`, in the server's code page; its
// SIZE in `transferType`) is as long as the local file; false when the
// server cannot tell.
bool sameSizeOnServer(FtpLib& session, const std::string& serverName, const std::string& localPath, char transferType);

// The sizes of a batch's files (anything with a `size`) together;
// unknownSize when one is unknown.
template <typename Files>
uint64_t totalSize(const Files& files) {
    uint64_t total = 0;
    for (const auto& file : files) {
        if (file.size == unknownSize) return unknownSize;
        total += file.size;
    }
    return total;
}

// Packs `files` (named relative to the local folder) into the archive the
// compress setting names and returns its path; reports the failure and gives
// "" when it cannot.
std::string packForUpload(const std::vector<std::string>& files);

}  // namespace dorvan
