#pragma once
// keeptime: a transferred file takes its source's modification time along.
// The transfer has succeeded by then: nothing here makes it fail. What the
// server cannot do is noted at debug level 1 (`notes`), what goes wrong is a
// warning; the server's replies are quoted from its `encoding`.
#include <cstdint>
#include <string>

#include "ftp/ftp_file_info.h"

namespace dorvan {

class FtpLib;

// After a download of `remote` to `localPath`: the listed time when the listing gave it to
// the second, else the time the server tells (one more command).
void keepRemoteTime(FtpLib& session, const FtpFileInfo& remote, const std::string& localPath, uint32_t encoding,
                    bool notes);

// After an upload of `localPath` to `remotePath` (as the server names it): the local
// file's time on the server, where the server can set it.
void keepLocalTime(FtpLib& session, const std::string& localPath, const std::string& remotePath, uint32_t encoding,
                   bool notes);

}  // namespace dorvan
