// connect, login, syst, literal, response, cwd, cdup, pwd and the session ends.
#include <exception>

#include "commands/handlers.h"
#include "commands/keep_alive.h"
#include "commands/netrc_login.h"
#include "commands/one_shot.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "platform/console.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {

bool changeWorkingDirectory(const std::string& folder) {
    Settings& s = settings();
    if (folder.empty())
        return reportMissing(" {} failure: directory name not specified", "cwd", HelpAfterMissing::always);
    if (s.session->chdir(toServer(folder)))
        return printMessage(Level::Info, format(" working directory changed to '{}'", folder));
    return printMessage(Level::Error,
                        format("change working directory to '{}' failure: {}", folder, lastResponseText()));
}

namespace handlers {

bool connect() {
    Settings& s = settings();
    forgetLostSession();
    if (s.isConnected) return true;
    try {
        if (s.host.empty()) return reportMissing(" Host name not specified", "connect", HelpAfterMissing::always);
        bool created = !s.session;
        std::shared_ptr<FtpLib> session = ensureSession();
        if (created && s.debug == 1) printMessage(Level::Info, " FTP initialized");
        session->setTimeout(s.timeout);
        session->setTls(tlsModeOf(s.tls), {.verify = s.verify, .cafile = s.cafile});
        try {
            s.isConnected = session->connect(s.host, s.port);
        } catch (const std::exception& e) {
            printMessage(Level::Error, format("ftp.connect {} {} catch {}", s.host, s.port, e.what()));
        }
        if (!s.isConnected)
            return printMessage(Level::Error, format(" Unable to connect to {} \n {}", s.host, lastResponseText()));
        if (tlsModeOf(s.tls) != TlsMode::none && !s.verify) {
            std::string problem = session->certificateProblem();
            printMessage(Level::Warn, format(" warning: the TLS certificate of {} is not checked{}", s.host,
                                             problem.empty() ? "" : " (" + problem + ")"));
        }
        return printMessage(Level::Info, format(" connected to {}", s.host));
    } catch (const std::exception& e) {
        printMessage(Level::Error, format("connect to {} catch {}", s.host, e.what()));
        return s.isConnected;
    }
}

bool login() {
    Settings& s = settings();
    if (!connect()) return printMessage(Level::Error, format(" login failure: {} first, please", "connect"));
    if (s.isLoggedin) return true;
    if (!takeNetrcCredentials(s)) return false;
    for (auto [value, label] : {std::pair{&s.username, "username"}, std::pair{&s.password, "password"}}) {
        if (value->empty()) {
            printMessage(Level::Error, format(" {} not specified", label));
            if (s.debug == 1) platform::consoleWrite(commandHelp("login") + "\r\n");
            return false;
        }
    }
    FtpLib& session = *s.session;
    session.setTimeout(s.timeout);
    if (s.passive)
        session.setPassive();
    else
        session.setActive();
    s.isLoggedin = session.login(s.username, s.password);
    if (!s.isLoggedin) return printMessage(Level::Error, format("Login failure, {}", lastResponseText()));
    if (s.keepalive > 0) startKeepAlive(s.session);
    if (!s.remote.empty()) changeToRemote(s.remote);
    if (session.utf8On()) {
        s.encoding = 65001;
        if (s.debug == 1) printMessage(Level::Info, " the encoding of ftp server is UTF8");
    }
    return printMessage(Level::Info, " Loggedin");
}

bool meet(Needs needs) { return needs == Needs::nothing || login(); }

bool close() { return closeSession(false); }

bool quit() { return closeSession(true); }

bool syst() {
    std::string type;
    if (settings().session->sysType(type)) return printMessage(Level::Info, format(" remote system type is: {}", type));
    return printMessage(Level::Error, "send SYST command failure");
}

bool literal() {
    Settings& s = settings();
    if (s.name.empty())
        return reportMissing("{} failure: command name not specified", "literal", HelpAfterMissing::always);
    ClearOnExit oneShot{&s.name};
    return s.session->sendCmd(toServer(s.name), s.expresp);
}

bool response() {
    std::string text = lastResponseText();
    if (!text.empty()) platform::consoleWrite(text + "\r\n");
    return !text.empty();
}

bool cwd() {
    Settings& s = settings();
    if (s.name.empty()) return changeWorkingDirectory(s.name);
    ClearOnExit oneShot{&s.name};
    return changeWorkingDirectory(s.name);
}

bool cdup() {
    if (settings().session->cdup())
        return printMessage(Level::Info, format(" changed to parent directory '{}'", currentDir()));
    return printMessage(Level::Error, format("{} failure, {}", "cdup", lastResponseText()));
}

bool pwd() {
    std::string folder;
    if (!settings().session->pwd(folder))
        return printMessage(Level::Error, format("{} failure: {}", "pwd", lastResponseText()));
    platform::consoleWrite(fromServer(folder) + "\r\n");
    return true;
}

}  // namespace handlers
}  // namespace dorvan
