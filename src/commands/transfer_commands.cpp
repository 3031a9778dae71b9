// get and put of one file.
#include "commands/handlers.h"
#include "commands/kept_times.h"
#include "commands/one_shot.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "ftp/ftp_lib.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "zip/archive.h"

namespace dorvan::handlers {
namespace {

bool hasSeparator(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

// Same-size check of an overwrite-by-size transfer: true when the remote
// file's size equals the local file's.
bool sameSize(const std::string& remoteName, const std::string& localPath, char transferType) {
    Settings& s = settings();
    uint64_t remoteSize = 0;
    if (!s.session->size(toServer(remoteName), remoteSize, transferType)) return false;
    auto localSize = platform::fileSize(localPath);
    return localSize && *localSize == remoteSize;
}

}  // namespace

bool get() {
    Settings& s = settings();
    if (hasSeparator(s.src)) return printMessage(Level::Error, format("Invalid {} format", s.src));
    if (!s.dst.empty() && hasSeparator(s.dst)) return printMessage(Level::Error, format("Invalid {} format", s.dst));
    ClearOnExit oneShot{&s.src, &s.dst};

    std::string localPath = s.local + (s.dst.empty() ? s.src : s.dst);
    if (!s.overwrite && platform::isRegularFile(localPath) && sameSize(s.src, localPath, s.transferType))
        return printMessage(Level::Error, format(" skiped, same size '{}'", s.src));
    printMessage(Level::Info, format(" dowloading {} to {} ...", s.src, localPath));
    TransferDisplay display;
    TrackedTransfer tracked(display, *s.session, s.src, unknownSize);
    bool ok = s.session->get(localPath, toServer(s.src), s.transferType);
    display.end();
    if (!ok) printMessage(Level::Error, format("{} {} failure: {}", "get", s.src, lastResponseText()));
    if (ok && s.keeptime) keepRemoteTime(*s.session, {.name = toServer(s.src)}, localPath, s.debug == 1);
    return ok;
}

bool put() {
    Settings& s = settings();
    if (hasSeparator(s.src)) return printMessage(Level::Error, format("Invalid format: '{}'", s.src));
    if (!s.dst.empty() && hasSeparator(s.dst)) return printMessage(Level::Error, format("Invalid format '{}'", s.dst));
    ClearOnExit oneShot{&s.src, &s.dst, &s.compress};

    // A FIFO or a device could block the program for good: never opened.
    if (platform::isSpecialFile(s.local + s.src))
        return printMessage(Level::Error,
                            format("{} failure: specified file '{}' is not a regular file", "put", s.local + s.src));

    std::string localFile, remoteName;
    char transferType = s.transferType;
    if (!s.compress.empty()) {
        transferType = 'I';  // an archive is binary whatever the type of its contents
        s.compress = archivePathFor(s.compress, dataFolder());
        std::string error;
        if (!packUpload({s.local + s.src}, s.local, s.compress, &error)) {
            printMessage(Level::Error, error);
            return printMessage(Level::Error, format("add files to ZIP archive failure: {}", s.compress));
        }
        localFile = s.compress;
        remoteName = s.dst.empty() ? platform::fileNameOf(s.compress) : s.dst;
    } else {
        localFile = s.local + s.src;
        remoteName = s.dst.empty() ? s.src : s.dst;
    }
    if (!platform::isRegularFile(localFile))
        return printMessage(Level::Error, format("{} failure: specified file '{}' does not exists", "put", localFile));
    if (!s.overwrite && sameSize(remoteName, localFile, transferType))
        return printMessage(Level::Error, format(" skiped, same size '{}'", localFile));
    printMessage(Level::Info, format(" uploading {} to {}", localFile, remoteName));
    TransferDisplay display;
    TrackedTransfer tracked(display, *s.session, remoteName, platform::fileSize(localFile).value_or(unknownSize));
    bool ok = s.session->put(localFile, toServer(remoteName), transferType);
    display.end();
    if (!ok) printMessage(Level::Error, format(" put {} to {} failure: {}", localFile, remoteName, lastResponseText()));
    if (ok && s.keeptime) keepLocalTime(*s.session, localFile, toServer(remoteName), s.debug == 1);
    return ok;
}

}  // namespace dorvan::handlers
