#include "ftp/resumed_transfers.h"

#include <optional>
#include <utility>

#include "ftp/ftp_lib.h"
#include "platform/clock.h"
#include "platform/digest.h"
#include "platform/local_file.h"
#include "platform/paths.h"
#include "platform/stale_parts.h"

namespace dorvan {
namespace {

int64_t wholeSeconds(int64_t ticks) { return ticks == unknownTime ? unknownTime : ticks / platform::ticksPerSecond; }

RemoteIdentity listedIdentity(const FtpFileInfo& remote) {
    if (remote.modify == unknownTime || remote.modifyPrecision > platform::ticksPerSecond) return {.size = remote.size};
    return {.size = remote.size, .time = wholeSeconds(remote.modify)};
}

}  // namespace

ResumedDownload::ResumedDownload(std::string localPath, const FtpFileInfo& remote, char mode, ResumeRules rules)
    : localPath_(std::move(localPath)),
      remotePath_(remote.name),
      mode_(mode),
      rules_(std::move(rules)),
      listed_(listedIdentity(remote)),
      size_(remote.size) {}

ResumedDownload::~ResumedDownload() {
    if (part_.path.empty()) return;
    const bool worthKeeping = !keptName_.empty() && !part_.overran && platform::ownPartSize(part_.path).value_or(0) > 0;
    if (worthKeeping && (part_.path == keptName_ || platform::renameWithoutReplacing(part_.path, keptName_))) return;
    platform::removeFile(part_.path);
}

bool ResumedDownload::mayRestart(FtpLib& session) const {
    return mode_ == imageType && !restartIgnored_ && session.offersRestart();
}

// To the second, from the listing where it gave both, else asked (SIZE, and MLST or MDTM).
RemoteIdentity ResumedDownload::identityNow(FtpLib& session, bool listingWillDo) const {
    if (listingWillDo && listed_.known()) return listed_;
    RemoteIdentity now;
    uint64_t size = 0;
    if (session.size(remotePath_, size, mode_)) now.size = size;
    int64_t ticks = unknownTime;
    if (now.size != unknownSize && session.modifyTime(remotePath_, ticks)) now.time = wholeSeconds(ticks);
    return now;
}

bool ResumedDownload::attempt(FtpLib& session, int number) {
    if (number == 0)
        prepareFirst(session);
    else
        prepareNext(session);
    const uint64_t restartAt = part_.restartAt;
    if (session.get(localPath_, remotePath_, mode_, size_, &part_)) return true;
    if (!part_.overran || restartAt == 0) return false;
    // More than the rest came: the server ignored REST. Once more, from the first byte.
    restartIgnored_ = true;
    part_.restartAt = 0;
    return session.get(localPath_, remotePath_, mode_, size_, &part_);
}

void ResumedDownload::prepareFirst(FtpLib& session) {
    if (mayRestart(session) && (rules_.restarts || !rules_.keptFor.empty())) {
        identity_ = identityNow(session, true);
        if (identity_.size != unknownSize) size_ = identity_.size;
        nameKeptPart(session);
    }
    if (rules_.sweeper) rules_.sweeper->sweep(localPath_, keptName_.empty() ? nullptr : &keptName_);
    if (keptName_.empty()) return;
    const std::optional<uint64_t> kept = platform::ownPartSize(keptName_);
    if (kept && *kept > 0 && *kept < identity_.size)
        part_ = {.path = keptName_, .restartAt = *kept};
    else if (kept)
        platform::removeFile(keptName_);  // its own, but of no use: the name is free for this run's part
}

void ResumedDownload::prepareNext(FtpLib& session) {
    part_.restartAt = 0;
    if (!rules_.restarts || !mayRestart(session)) return;
    const RemoteIdentity now = identityNow(session, false);
    if (now.size != unknownSize) size_ = now.size;
    const uint64_t kept = part_.path.empty() || part_.overran ? 0 : platform::ownPartSize(part_.path).value_or(0);
    if (kept > 0 && identity_.known() && now == identity_ && kept < now.size) part_.restartAt = kept;
    if (now != identity_) {
        identity_ = now;
        nameKeptPart(session);
    }
}

// The part's name records the server, the folder the session walked to from
// its login, the file's path, size and time.
void ResumedDownload::nameKeptPart(FtpLib& session) {
    keptName_.clear();
    if (rules_.keptFor.empty() || !identity_.known()) return;
    std::string parts = rules_.keptFor + '\n';
    session.learnFolder();  // as a retried command does: the same name whatever the retries
    const FolderTrail trail = session.folderTrail();
    parts += trail.folder + '\n';
    for (const std::string& step : trail.steps) parts += step + '\n';
    parts += remotePath_ + '\n' + std::to_string(identity_.size) + '\n' + std::to_string(identity_.time);
    keptName_ = platform::keptPartName(localPath_, platform::nameDigest(parts));
}

}  // namespace dorvan
