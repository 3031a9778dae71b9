#pragma once
// Transfers tried more than once that go on where a cut try ended instead of
// starting over: only in image type, only where the server announced REST
// STREAM, and a download only while the remote file stays as it was.
#include <cstdint>
#include <string>

#include "ftp/ftp_file_info.h"
#include "ftp/kept_part.h"

namespace dorvan {

class FtpLib;

// The tries of one download. What a try received stays in a part file for
// the next, which continues it with REST when the remote file still has the
// size it had (as listed, or as the first try's server announced it) and the
// time the first check found; otherwise the next try starts over.
class ResumedDownload {
public:
    // `size` as listed; unknownSize when the listing gave none.
    ResumedDownload(std::string localPath, std::string remotePath, char mode, uint64_t size);
    ~ResumedDownload();  // removes a part still kept
    ResumedDownload(const ResumedDownload&) = delete;
    ResumedDownload& operator=(const ResumedDownload&) = delete;

    // Try `number` (0 first) on `session`.
    bool attempt(FtpLib& session, int number);

private:
    // The kept bytes when the next try may go on after them, else 0 (the
    // part is then written anew). Asks SIZE and MDTM.
    uint64_t restartPoint(FtpLib& session);

    const std::string localPath_;
    const std::string remotePath_;
    const char mode_;
    uint64_t size_;
    std::string time_;  // MDTM's answer at the first check; empty while unknown
    KeptPart part_;
};

// Try `number` (0 first) of an upload: after a cut, the server's copy is
// asked its size (SIZE) and the rest sent after REST, unless `whole`.
bool uploadAttempt(FtpLib& session, const std::string& localPath, const std::string& remotePath, char mode, bool whole,
                   int number);

}  // namespace dorvan
