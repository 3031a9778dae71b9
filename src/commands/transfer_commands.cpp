// get and put of one file.
#include "commands/file_download.h"
#include "commands/handlers.h"
#include "commands/kept_times.h"
#include "commands/one_shot.h"
#include "commands/retry.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "commands/transfer_rules.h"
#include "commands/transfer_steps.h"
#include "ftp/ftp_lib.h"
#include "ftp/resumed_transfers.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {
namespace {

bool hasSeparator(const std::string& name) { return name.find_first_of("/\\") != std::string::npos; }

}  // namespace

bool get() {
    Settings& s = settings();
    if (hasSeparator(s.src)) return printMessage(Level::Error, format("Invalid {} format", s.src));
    if (!s.dst.empty() && hasSeparator(s.dst)) return printMessage(Level::Error, format("Invalid {} format", s.dst));
    ClearOnExit oneShot{&s.src, &s.dst};

    std::string localPath = s.local + (s.dst.empty() ? s.src : s.dst);
    if (!s.overwrite && platform::isRegularFile(localPath) &&
        sameSizeOnServer(*s.session, toServer(s.src), localPath, s.transferType))
        return printMessage(Level::Error, format(" skiped, same size '{}'", s.src));
    printMessage(Level::Info, format(" dowloading {} to {} ...", s.src, localPath));
    TransferDisplay display;
    TrackedTransfer tracked(display, *s.session, s.src, unknownSize);
    const FtpFileInfo remote{.name = toServer(s.src)};
    Retrier retrier(commandRecipe());
    platform::StalePartSweeper sweeper;
    ResumedDownload tries(localPath, remote, s.transferType, resumeRules(retrier, s.resume, sessionServer(), &sweeper));
    const TransferRules rules = transferRules();
    applyTransferRules(*s.session, rules);
    bool ok = retrier.run(*s.session, s.src, [&](int attempt) { return tries.attempt(*s.session, attempt); });
    display.end();
    if (!ok) printMessage(Level::Error, format("{} {} failure: {}", "get", s.src, lastResponseText()));
    if (ok) noteChecksum(*s.session, rules, s.src, s.debug == 1);
    if (ok && s.keeptime) keepRemoteTime(*s.session, remote, localPath, s.encoding, s.debug == 1);
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
        s.compress = packForUpload({s.local + s.src});
        if (s.compress.empty()) return false;
        localFile = s.compress;
        remoteName = s.dst.empty() ? platform::fileNameOf(s.compress) : s.dst;
    } else {
        localFile = s.local + s.src;
        remoteName = s.dst.empty() ? s.src : s.dst;
    }
    if (!platform::isRegularFile(localFile))
        return printMessage(Level::Error, format("{} failure: specified file '{}' does not exists", "put", localFile));
    if (!s.overwrite && sameSizeOnServer(*s.session, toServer(remoteName), localFile, transferType))
        return printMessage(Level::Error, format(" skiped, same size '{}'", localFile));
    printMessage(Level::Info, format(" uploading {} to {}", localFile, remoteName));
    TransferDisplay display;
    TrackedTransfer tracked(display, *s.session, remoteName, platform::fileSize(localFile).value_or(unknownSize));
    const std::string serverName = toServer(remoteName);
    Retrier retrier(commandRecipe());
    const TransferRules rules = transferRules();
    applyTransferRules(*s.session, rules, !s.compress.empty());
    bool ok =
        uploadWithRetries(*s.session, retrier, remoteName, localFile, serverName, transferType, s.resume, s.debug == 1);
    display.end();
    if (!ok) printMessage(Level::Error, format(" put {} to {} failure: {}", localFile, remoteName, lastResponseText()));
    if (ok) noteChecksum(*s.session, rules, localFile, s.debug == 1, s.compress.empty() ? "" : "a ZIP archive");
    if (ok && s.keeptime) keepLocalTime(*s.session, localFile, serverName, s.encoding, s.debug == 1);
    return ok;
}

}  // namespace dorvan::handlers
