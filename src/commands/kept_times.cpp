#include "commands/kept_times.h"

#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "settings/format.h"
#include "settings/log.h"

namespace dorvan {
namespace {

void warnNotKept(const std::string& path, const std::string& reason) {
    printMessage(Level::Warn, format(" keeptime: the time of {} is not kept, {}", path, reason));
}

}  // namespace

void keepRemoteTime(FtpLib& session, const FtpFileInfo& remote, const std::string& localPath, uint32_t encoding,
                    bool notes) {
    int64_t time = remote.modify;
    if (time == unknownTime || remote.modifyPrecision > platform::ticksPerSecond) {
        if (!session.modifyTime(remote.name, time)) {
            if (notes)
                printMessage(Level::Info, format(" keeptime: the server tells no time of {}, {}", localPath,
                                                 lastResponseText(session, encoding)));
            return;
        }
    }
    std::string error;
    if (!platform::setModifiedTime(localPath, time, &error)) warnNotKept(localPath, error);
}

void keepLocalTime(FtpLib& session, const std::string& localPath, const std::string& remotePath, uint32_t encoding,
                   bool notes) {
    if (!session.setsModifyTimes()) {
        if (notes) printMessage(Level::Info, format(" keeptime: the server cannot set the time of {}", localPath));
        return;
    }
    platform::FileFacts facts;
    std::string error;
    if (!platform::fileFacts(localPath, facts, &error)) return warnNotKept(localPath, error);
    if (!session.setModifyTime(remotePath, facts.modified)) warnNotKept(localPath, lastResponseText(session, encoding));
}

}  // namespace dorvan
