#include "ftp/resumed_transfers.h"

#include <utility>

#include "ftp/ftp_lib.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/paths.h"

namespace dorvan {
namespace {

int64_t wholeSeconds(int64_t ticks) { return ticks / platform::ticksPerSecond; }

}  // namespace

std::string partialName(const std::string& localPath) { return localPath + ".partial"; }

ResumedDownload::ResumedDownload(std::string localPath, const FtpFileInfo& remote, char mode, std::string partName)
    : localPath_(std::move(localPath)),
      remotePath_(remote.name),
      mode_(mode),
      size_(remote.size),
      time_(remote.modifyPrecision <= platform::ticksPerSecond ? remote.modify : unknownTime),
      keep_(!partName.empty()) {
    if (!keep_) return;
    part_.path = std::move(partName);
    platform::FileFacts facts;
    std::string error;
    carried_ = platform::fileFacts(part_.path, facts, &error) && facts.size > 0;
    if (carried_) time_ = facts.modified;  // the remote file's when the part was kept
}

ResumedDownload::~ResumedDownload() {
    if (part_.path.empty()) return;
    if (keep_ && session_) keepForLater(*session_);
    if (!part_.path.empty()) platform::removeFile(part_.path);
}

bool ResumedDownload::attempt(FtpLib& session, int number) {
    session_ = &session;
    if (number > 0 || carried_) {
        if (size_ == unknownSize && !carried_) size_ = part_.announced;
        part_.restartAt = restartPoint(session);
        carried_ = false;
    }
    return session.get(localPath_, remotePath_, mode_, size_, &part_);
}

uint64_t ResumedDownload::restartPoint(FtpLib& session) {
    const uint64_t kept = platform::fileSize(part_.path).value_or(0);
    if (kept == 0 || mode_ != imageType || !session.offersRestart()) return 0;
    // An earlier run's part has only the time to go by.
    if (size_ == unknownSize && !carried_) return 0;
    uint64_t size = 0;
    if (!session.size(remotePath_, size, mode_) || (!carried_ && size != size_) || kept > size) return 0;
    int64_t time = unknownTime;
    if (!session.modifyTime(remotePath_, time)) return carried_ ? 0 : kept;
    if (time_ != unknownTime && wholeSeconds(time) != wholeSeconds(time_)) return 0;
    time_ = time;
    return kept;
}

// The part stays only with the remote file's time on it, which the next run
// checks; a part no run could check goes.
void ResumedDownload::keepForLater(FtpLib& session) {
    if (platform::fileSize(part_.path).value_or(0) == 0) return;
    if (time_ == unknownTime && session.isOpen()) session.modifyTime(remotePath_, time_);
    std::string error;
    if (time_ != unknownTime && platform::setModifiedTime(part_.path, time_, &error)) part_.path.clear();
}

}  // namespace dorvan
