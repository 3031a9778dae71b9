#pragma once
// Downloads tried more than once that go on where a cut try ended instead of
// starting over: only in image type, only where the server announced REST
// STREAM, and only while the remote file is provably the one whose bytes the
// part holds.
#include <cstdint>
#include <string>

#include "ftp/ftp_file_info.h"
#include "ftp/kept_part.h"

namespace dorvan {
namespace platform {
class StalePartSweeper;
}

class FtpLib;

// What a remote file is, to the second: the same size and time mean the same file.
struct RemoteIdentity {
    uint64_t size = unknownSize;
    int64_t time = unknownTime;  // ticks, whole seconds
    bool known() const { return size != unknownSize && time != unknownTime; }
    bool operator==(const RemoteIdentity&) const = default;
};

struct ResumeRules {
    // Tries may follow a cut one: the remote file's identity is taken before
    // the first byte and again before each further try.
    bool restarts = false;
    // Not empty: a part that still fails after the last try stays for the
    // next run, named for the remote file it belongs to on this server
    // ("user@host:port"): its folder, name, size and time.
    std::string keptFor{};
    platform::StalePartSweeper* sweeper = nullptr;  // removes what killed runs left of the file first; not owned
};

// The tries of one download. What a try received stays in a part file for
// the next, which continues it with REST only when the remote file's size
// and time (SIZE, and MLST or MDTM, or a listing to the second) are still
// those taken before the part's first byte; otherwise, and where no time to
// the second can be had, the next try starts from the first byte. A server
// that ignored REST (sent more than the rest) gets one more try from the
// first byte, and no REST again.
//
// A part kept between runs is a hidden file beside the destination whose
// name holds a digest of the remote file it belongs to (keptPartName); the
// next run takes it on only when it is this user's own regular file
// (ownPartSize) and the remote file still has that identity. Anything else
// of that name is left alone.
class ResumedDownload {
public:
    // `remote` as listed: its name is the path to download, its size and
    // time (when given to the second) the file's identity.
    ResumedDownload(std::string localPath, const FtpFileInfo& remote, char mode, ResumeRules rules = {});
    ~ResumedDownload();  // keeps or removes the part, as above
    ResumedDownload(const ResumedDownload&) = delete;
    ResumedDownload& operator=(const ResumedDownload&) = delete;

    // Try `number` (0 first) on `session`.
    bool attempt(FtpLib& session, int number);

private:
    bool mayRestart(FtpLib& session) const;
    RemoteIdentity identityNow(FtpLib& session, bool listingWillDo) const;
    void prepareFirst(FtpLib& session);
    void prepareNext(FtpLib& session);
    void nameKeptPart(FtpLib& session);

    const std::string localPath_;
    const std::string remotePath_;
    const char mode_;
    const ResumeRules rules_;
    const RemoteIdentity listed_;
    uint64_t size_;              // the size the data is held to; unknownSize while unknown
    RemoteIdentity identity_{};  // taken before this try's first byte
    std::string keptName_;       // where the part stays for the next run; empty when it may not
    bool restartIgnored_ = false;
    KeptPart part_;
};

}  // namespace dorvan
