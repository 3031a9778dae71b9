#pragma once
// Steps that single-file and batch transfers share: the overwrite-by-size
// checks, the sizes of a batch and packing an upload into its archive.
#include <cstdint>
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"

namespace dorvan {

class FtpLib;

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
