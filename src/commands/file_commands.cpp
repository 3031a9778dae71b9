// dele, mkd, rename, size, mdtm, list and nlst.
#include "commands/handlers.h"
#include "commands/session_support.h"
#include "commands/transfer_display.h"
#include "ftp/ftp_lib.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {
bool dele() {
    Settings& s = settings();
    printMessage(Level::Info, format(" deleting {} ...", s.name));
    bool ok = s.session->deleteFile(toServer(s.name));
    if (!ok) printMessage(Level::Error, format("{} {} failure, {}", "dele", s.name, lastResponseText()));
    return ok;
}

bool mkd() {
    Settings& s = settings();
    if (s.session->mkdir(toServer(s.name))) return printMessage(Level::Info, format(" made dir {}", s.name));
    return printMessage(Level::Error, format("{} failure: dir {}, {}", "mkd", s.name, lastResponseText()));
}

bool rename() {
    Settings& s = settings();
    if (s.session->rename(toServer(s.src), toServer(s.dst)))
        return printMessage(Level::Info, format(" {} renamed to {}", s.src, s.dst));
    return printMessage(Level::Error, format("rename {} to {} failure: {}", s.src, s.dst, lastResponseText()));
}

bool size() {
    Settings& s = settings();
    uint64_t bytes = 0;
    if (!s.session->size(toServer(s.name), bytes, s.transferType))
        return printMessage(Level::Error, format("determine the size of {} failure, {}", s.name, lastResponseText()));
    std::string message = format(" {}: {} bytes", s.name, bytes);
    if (bytes > 512) message += format(", {0:f2} KB", static_cast<double>(bytes) / 1024);
    if (bytes > 524288) message += format(", {0:f2} MB", static_cast<double>(bytes) / 1048576);
    return printMessage(Level::Info, message);
}

bool mdtm() {
    Settings& s = settings();
    std::string date;
    if (s.session->modDate(toServer(s.name), date)) return printMessage(Level::Info, format(" {}: {}", s.name, date));
    return printMessage(Level::Error,
                        format("determine the modification date of {} failure, {}", s.name, lastResponseText()));
}

namespace {

// The listing goes to the console as it arrives, below it the status line.
// A refused or broken listing ends with a failure line; an empty one is no failure.
template <typename Listing>
bool showListing(const char* verb, Listing listing) {
    Settings& s = settings();
    const std::string shown = s.name.empty() ? std::string(verb) : verb + (" " + s.name);
    TransferDisplay display;
    TrackedTransfer tracked(display, *s.session, shown, unknownSize);
    bool ok = (s.session.get()->*listing)("", s.name.empty() ? std::string() : toServer(s.name));
    display.end();
    if (!ok) printMessage(Level::Error, format("{} failure, {}", shown, lastResponseText()));
    return ok;
}

}  // namespace

bool list() { return showListing("list", &FtpLib::listToFile); }

bool nlst() { return showListing("nlst", &FtpLib::nlst); }

}  // namespace dorvan::handlers
