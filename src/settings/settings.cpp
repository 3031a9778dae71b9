#include "settings/settings.h"

#include "ftp/ftp_lib.h"
#include "platform/console.h"
#include "settings/format.h"
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
}

void resetSettings() {
    Settings& s = settings();
    s.host.clear();
    s.port = 21;
    s.username.clear();
    s.password.clear();
    s.remote.clear();
    s.local.clear();
    s.passive = true;
    s.justprint = false;
    s.overwrite = true;
    s.transferType = 'I';
    s.expresp = '2';
    s.recurse = false;
    s.include.clear();
    s.exclude.clear();
    s.lsize = unsetSize;
    s.gsize = unsetSize;
    s.lmodified = unsetLimit;
    s.gmodified = unsetLimit;
    s.maxfiles = unsetLimit;
    s.maxfolders = unsetLimit;
}

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
    }
    resetSettings();
    return true;
}

bool applyTransferType(bool image) {
    Settings& s = settings();
    s.transferType = image ? 'I' : 'A';
    if (s.debug == 1) printMessage(Level::Info, image ? " set Image transfer type" : " set ASCII transfer type");
    return true;
}

bool applyPassive(bool passive) {
    Settings& s = settings();
    if (!s.isConnected || !s.session) return false;
    printMessage(Level::Info, passive ? " Use Passive FTP" : " Use Active FTP");
    return passive ? s.session->setPassive() : s.session->setActive();
}

bool setDebug(int32_t level) {
    settings().debug = level;
    FtpLib::setDebugLevel(level);
    return true;
}

bool printStatus() {
    const Settings& s = settings();
    std::string out;
    auto line = [&out](std::string_view label, const std::string& value) {
        if (!value.empty()) out += format(" {0,-12}: {}\r\n", label, value);
    };
    auto flag = [](bool v) { return std::string(v ? "true" : "false"); };
    line("isConnected", flag(s.isConnected));
    line("isLoggedin", flag(s.isLoggedin));
    out += "\r\n";
    line("host", s.host);
    line("port", std::to_string(s.port));
    line("username", s.username);
    line("password", s.password);
    line("remote", s.remote);
    line("local", s.local);
    line("passive", flag(s.passive));
    line("justprint", flag(s.justprint));
    line("overwrite", flag(s.overwrite));
    line("image", s.transferType == 'I' ? "image" : "ascii");
    line("debug", std::to_string(s.debug));
    line("encoding", std::to_string(s.encoding));
    line("name", s.name);
    line("src", s.src);
    line("dst", s.dst);
    line("expresp", std::string(1, s.expresp));
    line("recurse", flag(s.recurse));
    line("include", s.include);
    line("exclude", s.exclude);
    if (s.lsize != unsetSize) line("lsize", std::to_string(s.lsize >> 10));
    if (s.gsize != unsetSize) line("gsize", std::to_string(s.gsize >> 10));
    if (s.lmodified != unsetLimit) line("lmodified", std::to_string(s.lmodified / ticksPerMinute));
    if (s.gmodified != unsetLimit) line("gmodified", std::to_string(s.gmodified / ticksPerMinute));
    if (s.maxfiles != unsetLimit) line("maxfiles", std::to_string(s.maxfiles));
    if (s.maxfolders != unsetLimit) line("maxfolders", std::to_string(s.maxfolders));
    line("compress", s.compress);
    line("timeout", std::to_string(s.timeout));
    out += "\r\n";
    platform::consoleWrite(out);
    return true;
}

}  // namespace dorvan
