#pragma once
// An upload that never leaves part of a file under the target's name: the
// file goes to a temporary name of its own in the target's folder
// (".<name>.<unique>.part", a name no other writer uses) and is renamed over
// the target (RNFR, RNTO) only once the server confirmed all of it. Where the
// server refuses to rename over an existing file, the target is deleted
// (DELE) and the rename made again.
//
// Because the temporary name is this upload's own, whatever the server holds
// under it came from this upload: a try after a cut may go on after those
// bytes (SIZE, then REST and STOR of the rest), in image type, where the
// server announced REST STREAM.
#include <cstdint>
#include <string>

namespace dorvan {

class FtpLib;

class ReplacingUpload {
public:
    // `remotePath` in the server's code page, "/" separated.
    ReplacingUpload(std::string localPath, std::string remotePath, char mode);
    ReplacingUpload(const ReplacingUpload&) = delete;
    ReplacingUpload& operator=(const ReplacingUpload&) = delete;

    // One try on `session`: true when the file is in place under the target's
    // name. False leaves the reason in the session's lastOutcome.
    bool attempt(FtpLib& session);
    // After the last failed try: removes what a try left under the temporary
    // name (DELE, failures ignored), keeping the session's lastOutcome.
    void discard(FtpLib& session);

    // The server refused to rename over the target, which was deleted first.
    bool deletedTarget() const { return deletedTarget_; }

private:
    bool store(FtpLib& session);
    uint64_t restartPoint(FtpLib& session, uint64_t size);
    bool renameOverTarget(FtpLib& session);

    const std::string localPath_;
    const std::string remotePath_;
    const std::string temporary_;
    const char mode_;
    bool begun_ = false;       // a STOR to the temporary name was accepted
    bool stored_ = false;      // the whole file is under the temporary name
    bool wholeAgain_ = false;  // the last try's data was wrong: the next sends all of it
    bool deletedTarget_ = false;
};

}  // namespace dorvan
