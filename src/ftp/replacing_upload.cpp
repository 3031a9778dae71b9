#include "ftp/replacing_upload.h"

#include <utility>

#include "ftp/ftp_file_info.h"
#include "ftp/ftp_lib.h"
#include "platform/local_file.h"
#include "platform/paths.h"

namespace dorvan {
namespace {

constexpr size_t serverNameLimit = 255;

// The temporary name an upload to `remotePath` ("/" separated) uses.
std::string temporaryUploadName(const std::string& remotePath) {
    const size_t slash = remotePath.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return remotePath.substr(0, nameStart) + platform::partFileName(std::string_view(remotePath).substr(nameStart),
                                                                    platform::uniquePartSuffix(), serverNameLimit);
}

}  // namespace

ReplacingUpload::ReplacingUpload(std::string localPath, std::string remotePath, char mode)
    : localPath_(std::move(localPath)),
      remotePath_(std::move(remotePath)),
      temporary_(temporaryUploadName(remotePath_)),
      mode_(mode) {}

bool ReplacingUpload::attempt(FtpLib& session) {
    if (!stored_ && !store(session)) return false;
    stored_ = true;
    return renameOverTarget(session);
}

bool ReplacingUpload::store(FtpLib& session) {
    const uint64_t size = platform::fileSize(localPath_).value_or(0);
    const uint64_t restartAt = restartPoint(session, size);
    // Where the server holds all of it already, only the check is left.
    if (restartAt == 0 || restartAt < size) {
        if (!session.put(localPath_, temporary_, mode_, restartAt)) {
            const CallOutcome last = session.lastOutcome();
            begun_ = begun_ || last.begun;
            wholeAgain_ = last.kind == OutcomeKind::checksumDiffers;  // what the server holds is not the file
            return false;
        }
        begun_ = true;
        if (restartAt == 0) return true;
    }
    // After a REST the server must hold the whole file; one that wrote the rest elsewhere gets it all once more.
    uint64_t held = 0;
    if (session.size(temporary_, held, mode_) && held == size) return true;
    if (session.lastOutcome().transient()) return false;
    return session.put(localPath_, temporary_, mode_, 0);
}

// The bytes the server holds under the temporary name came from this upload;
// more than the local file has cannot have.
uint64_t ReplacingUpload::restartPoint(FtpLib& session, uint64_t size) {
    if (!begun_ || wholeAgain_ || mode_ != imageType || !session.offersRestart()) return 0;
    uint64_t held = 0;
    if (!session.size(temporary_, held, mode_) || held > size) return 0;
    return held;
}

bool ReplacingUpload::renameOverTarget(FtpLib& session) {
    if (!session.sendCmd("RNFR " + temporary_, '3')) {
        // The temporary file is gone (or the server lost it): the next try sends it again.
        if (!session.lastOutcome().transient()) stored_ = false;
        return false;
    }
    if (session.sendCmd("RNTO " + remotePath_, '2')) return true;
    if (session.lastOutcome().transient()) return false;
    // Servers that never replace a file on rename: the target goes first.
    if (session.deleteFile(remotePath_)) deletedTarget_ = true;
    return session.rename(temporary_, remotePath_);
}

void ReplacingUpload::discard(FtpLib& session) {
    if (!begun_ || !session.isOpen()) return;
    const CallOutcome kept = session.lastOutcome();
    session.deleteFile(temporary_);
    session.restoreOutcome(kept);
}

}  // namespace dorvan
