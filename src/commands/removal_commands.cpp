// rmd and mdele: removing one folder (its whole tree with recurse) and many files.
#include <memory>

#include "commands/handlers.h"
#include "commands/one_shot.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/ftp_rmd.h"
#include "platform/console.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan::handlers {

bool rmd() {
    Settings& s = settings();
    if (s.name.empty())
        return reportMissing(" {} failure, directory name for remove not specified", "rmd", HelpAfterMissing::always);
    ClearOnExit oneShot{&s.name};
    std::shared_ptr<FtpLib> session = s.session;
    if (s.recurse) {
        FtpRmd remover(*session);
        remover.justPrint = s.justprint;
        remover.verbose = s.debug == 1;
        remover.remove(toServer(s.name));
        if (s.justprint) {
            for (const FtpFileInfo& file : remover.deletedFiles())
                platform::consoleWrite(format(" found file: {}", fromServer(file.name)) + "\r\n");
            for (const FtpFileInfo& folder : remover.removedFolders())
                platform::consoleWrite(format(" found folder: {}", fromServer(folder.name)) + "\r\n");
            return true;
        }
    }
    if (session->rmdir(toServer(s.name))) return printMessage(Level::Info, format(" directory '{}' removed", s.name));
    return printMessage(Level::Error, format("remove dir '{}' failure, {}", s.name, lastResponseText()));
}

}  // namespace dorvan::handlers
