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
// size it had (as listed, or as the first try's server announced it) and,
// where known, the time; otherwise the next try starts over.
//
// With a part name (a file beside the destination), the part is that file:
// one left by an earlier run is continued when the remote file still has the
// time the part was given then, and after the last failed try the part stays
// there, given the remote file's time, for the next run.
class ResumedDownload {
public:
    // `remote` as listed: its name is the path to download, its size and
    // time (when given to the second) what the file must keep.
    ResumedDownload(std::string localPath, const FtpFileInfo& remote, char mode, std::string partName = {});
    ~ResumedDownload();  // removes or keeps the part, as above
    ResumedDownload(const ResumedDownload&) = delete;
    ResumedDownload& operator=(const ResumedDownload&) = delete;

    // Try `number` (0 first) on `session`.
    bool attempt(FtpLib& session, int number);

private:
    // The kept bytes when the try may go on after them, else 0 (the part is
    // then written anew). Asks SIZE and the modification time.
    uint64_t restartPoint(FtpLib& session);
    void keepForLater(FtpLib& session);

    const std::string localPath_;
    const std::string remotePath_;
    const char mode_;
    uint64_t size_;  // unknownSize while unknown
    int64_t time_;   // to the second; unknownTime while unknown
    const bool keep_;
    bool carried_ = false;       // the part is an earlier run's
    FtpLib* session_ = nullptr;  // the last try's
    KeptPart part_;
};

// The name a download's part keeps between runs: "<file>.partial".
std::string partialName(const std::string& localPath);

}  // namespace dorvan
