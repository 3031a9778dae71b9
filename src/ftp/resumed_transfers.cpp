#include "ftp/resumed_transfers.h"

#include <utility>

#include "ftp/ftp_lib.h"
#include "platform/paths.h"

namespace dorvan {

ResumedDownload::ResumedDownload(std::string localPath, std::string remotePath, char mode, uint64_t size)
    : localPath_(std::move(localPath)), remotePath_(std::move(remotePath)), mode_(mode), size_(size) {}

ResumedDownload::~ResumedDownload() {
    if (!part_.path.empty()) platform::removeFile(part_.path);
}

bool ResumedDownload::attempt(FtpLib& session, int number) {
    if (number > 0 && !part_.path.empty()) {
        if (size_ == unknownSize) size_ = part_.announced;
        part_.restartAt = restartPoint(session);
    }
    return session.get(localPath_, remotePath_, mode_, size_, &part_);
}

uint64_t ResumedDownload::restartPoint(FtpLib& session) {
    const uint64_t kept = platform::fileSize(part_.path).value_or(0);
    if (kept == 0 || mode_ != 'I' || size_ == unknownSize || kept > size_ || !session.offersRestart()) return 0;
    uint64_t size = 0;
    if (!session.size(remotePath_, size, mode_) || size != size_) return 0;
    std::string time;
    if (session.modDate(remotePath_, time)) {
        if (!time_.empty() && time != time_) return 0;
        time_ = time;
    }
    return kept;
}

bool uploadAttempt(FtpLib& session, const std::string& localPath, const std::string& remotePath, char mode, bool whole,
                   int number) {
    uint64_t restartAt = 0;
    if (number > 0 && !whole && mode == 'I' && session.offersRestart()) {
        uint64_t held = 0;
        const uint64_t size = platform::fileSize(localPath).value_or(0);
        if (session.size(remotePath, held, mode) && held <= size) restartAt = held;
    }
    return session.put(localPath, remotePath, mode, restartAt);
}

}  // namespace dorvan
