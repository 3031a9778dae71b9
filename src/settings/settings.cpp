#include "settings/settings.h"

#include "ftp/ftp_lib.h"
#include "settings/log.h"

namespace dorvan {

Settings& settings() {
    // Never destroyed: the keep-alive and control-handler threads may still read it at exit.
    static Settings* record = new Settings;
    return *record;
}

std::shared_ptr<FtpLib> ensureSession() {
    Settings& s = settings();
    std::lock_guard<std::mutex> guard(s.sessionPointerLock);
    if (!s.session) s.session = std::make_shared<FtpLib>();
    return s.session;
}

void abortSession() {
    Settings& s = settings();
    std::lock_guard<std::mutex> guard(s.sessionPointerLock);
    if (s.session) s.session->abort();
    for (const std::shared_ptr<FtpLib>& extra : s.batchSessions) extra->abort();
}

const Settings& settingsDefaults() {
    static const Settings defaults;
    return defaults;
}

void resetSettings() { static_cast<ResettableArguments&>(settings()) = ResettableArguments{}; }

bool closeSession(bool quit) {
    Settings& s = settings();
    s.quitRequested = quit;
    if (s.session && s.isLoggedin) {
        s.isConnected = false;
        s.isLoggedin = false;
        std::shared_ptr<FtpLib> session;
        {
            std::lock_guard<std::mutex> guard(s.sessionPointerLock);
            session = std::move(s.session);
        }
        session->close();
        session.reset();
        printMessage(Level::Info, " FTP closed");
    } else if (s.session && s.isConnected) {
        // Connected without a login: the connection goes too, so that no
        // later login sends its credentials over it to the earlier host.
        s.isConnected = false;
        s.session->close();
    }
    s.sessionRecipe = {};
    resetSettings();
    return true;
}

void announceTransferType(Settings& s) {
    if (s.debug == 1)
        printMessage(Level::Info, s.transferType == 'I' ? " set Image transfer type" : " set ASCII transfer type");
}

void applyPassive(Settings& s) {
    if (!s.isConnected || !s.session) return;
    printMessage(Level::Info, s.passive ? " Use Passive FTP" : " Use Active FTP");
    s.sessionRecipe.passive = s.passive;
    if (s.passive)
        s.session->setPassive();
    else
        s.session->setActive();
}

void applyDebugLevel(Settings& s) { FtpLib::setDebugLevel(s.debug); }

}  // namespace dorvan
