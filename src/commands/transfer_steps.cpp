#include "commands/transfer_steps.h"

#include "commands/retry.h"
#include "commands/session_support.h"
#include "ftp/ftp_file_info.h"
#include "ftp/ftp_lib.h"
#include "ftp/replacing_upload.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "zip/archive.h"

namespace dorvan {

bool localFileHasSize(const std::string& localPath, uint64_t size) {
    if (size == unknownSize || !platform::isRegularFile(localPath)) return false;
    auto localSize = platform::fileSize(localPath);
    return localSize && *localSize == size;
}

bool sameSizeOnServer(FtpLib& session, const std::string& serverName, const std::string& localPath, char transferType) {
    uint64_t remoteSize = 0;
    return session.size(serverName, remoteSize, transferType) && localFileHasSize(localPath, remoteSize);
}

bool uploadWithRetries(FtpLib& session, Retrier& retrier, std::string_view shown, const std::string& localPath,
                       const std::string& remotePath, char transferType, bool resume, bool notes, int* retried) {
    int tried = 0;
    if (!retried) retried = &tried;
    if (!resume)
        return retrier.run(session, shown, [&](int attempt) {
            *retried = attempt;
            return session.put(localPath, remotePath, transferType);
        });
    ReplacingUpload tries(localPath, remotePath, transferType);
    if (!retrier.run(session, shown, [&](int attempt) {
            *retried = attempt;
            return tries.attempt(session);
        })) {
        tries.discard(session);
        return false;
    }
    if (tries.deletedTarget() && notes)
        printMessage(Level::Info, format(" {} deleted before the rename: the server renames over no file", shown));
    return true;
}

std::string packForUpload(const std::vector<std::string>& files) {
    const Settings& s = settings();
    const std::string archive = archivePathFor(s.compress, dataFolder());
    std::string error;
    if (packUpload(files, s.local, archive, &error)) return archive;
    printMessage(Level::Error, error);
    printMessage(Level::Error, format("add files to ZIP archive failure: {}", archive));
    return {};
}

}  // namespace dorvan
