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

// `total` and `size` together: unknownSize when either is unknown.
inline uint64_t withSize(uint64_t total, uint64_t size) {
    return total == unknownSize || size == unknownSize ? unknownSize : total + size;
}

// Packs `files` (named relative to the local folder) into the archive the
// compress setting names and returns its path; reports the failure and gives
// "" when it cannot.
std::string packForUpload(const std::vector<std::string>& files);

}  // namespace dorvan
