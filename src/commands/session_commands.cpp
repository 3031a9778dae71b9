// connect, login, syst, literal, response, cwd, cdup, pwd and the session ends.
#include <exception>

#include "commands/handlers.h"
#include "commands/keep_alive.h"
#include "commands/netrc_login.h"
#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/masked_command.h"
#include "ftp/session_opener.h"
#include "platform/console.h"
#include "platform/line_editor.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

// The one place where the tls setting's text becomes a session's mode.
TlsMode tlsModeOf(const std::string& name) {
    return name == "explicit" ? TlsMode::explicitTls : name == "implicit" ? TlsMode::implicitTls : TlsMode::none;
}

SessionRecipe recipeToConnect(const Settings& s) {
    return {.host = s.host,
            .port = s.port,
            .tls = tlsModeOf(s.tls),
            .trust = {.verify = s.verify, .cafile = s.cafile},
            .timeout = s.timeout};
}

// The failure line as scripts read it, its second line holding only the
// blank; the reason follows on a line of its own from debug level 1 on, and
// always in the log.
bool reportNotConnected(const std::string& host) {
    const std::string reason = format(" {}", lastResponseText());
    printMessage(Level::Error, format(" Unable to connect to {} \n {}", host, ""));
    if (settings().debug >= 1)
        printMessage(Level::Error, reason);
    else
        logRecord(Level::Error, reason);
    return false;
}

// Asks for the password at a terminal, as a password typed on the line: kept
// in the settings, never echoed, logged or kept in the history.
void askPassword(Settings& s) {
    std::string answer;
    if (platform::readSecretLine("Password: ", answer) && !answer.empty()) s.password = std::move(answer);
}

bool sameServer(const Settings& s) { return s.host == s.sessionRecipe.host && s.port == s.sessionRecipe.port; }

}  // namespace

bool changeWorkingDirectory(const std::string& folder) {
    Settings& s = settings();
    if (folder.empty())
        return reportMissing(" {} failure: directory name not specified", "cwd", HelpAfterMissing::always);
    std::shared_ptr<FtpLib> session = s.session;
    auto hold = session->hold();  // the message quotes the reply to this CWD
    if (session->chdir(toServer(folder)))
        return printMessage(Level::Info, format(" working directory changed to '{}'", folder));
    return printMessage(Level::Error,
                        format("change working directory to '{}' failure: {}", folder, lastResponseText()));
}

namespace handlers {

bool connect() {
    Settings& s = settings();
    forgetLostSession();
    if (s.isConnected && (s.isLoggedin || sameServer(s))) return true;
    if (s.isConnected) {
        // A refused login left a connection open to another server than the
        // one named now: credentials meant for that one must not go over it.
        s.isConnected = false;
        s.session->close();
    }
    try {
        if (s.host.empty()) return reportMissing(" Host name not specified", "connect", HelpAfterMissing::always);
        bool created = !s.session;
        std::shared_ptr<FtpLib> session = ensureSession();
        if (created && s.debug == 1) printMessage(Level::Info, " FTP initialized");
        const SessionRecipe recipe = recipeToConnect(s);
        try {
            s.isConnected = connectSession(*session, recipe);
        } catch (const std::exception& e) {
            printMessage(Level::Error, format("ftp.connect {} {} catch {}", s.host, s.port, e.what()));
        }
        if (!s.isConnected) return reportNotConnected(s.host);
        s.sessionRecipe = recipe;
        if (recipe.tls != TlsMode::none && !recipe.trust.verify) {
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
    if (s.commandTyped && !s.username.empty() && s.password.empty()) askPassword(s);
    for (auto [value, label] : {std::pair{&s.username, "username"}, std::pair{&s.password, "password"}}) {
        if (value->empty()) {
            printMessage(Level::Error, format(" {} not specified", label));
            if (s.debug == 1) platform::consoleWriteLine(commandHelp("login"));
            return false;
        }
    }
    FtpLib& session = *s.session;
    SessionRecipe recipe = s.sessionRecipe;
    recipe.user = s.username;
    recipe.password = s.password;
    recipe.passive = s.passive;
    recipe.timeout = s.timeout;
    s.isLoggedin = logInSession(session, recipe);
    if (!s.isLoggedin) return printMessage(Level::Error, format("Login failure, {}", lastResponseText()));
    s.sessionRecipe = recipe;
    if (s.keepalive > 0) startKeepAlive(s.session);
    if (!s.remote.empty()) changeToRemote(s.remote);
    if (session.utf8On()) {
        s.encoding = 65001;
        if (s.debug == 1) printMessage(Level::Info, " the encoding of ftp server is UTF8");
    }
    return printMessage(Level::Info, " Loggedin");
}

bool run(Needs needs, const std::function<bool()>& action) {
    if (needs == Needs::nothing) return action();
    if (!login()) return false;
    // Other threads (the keep-alive's SYST) wait until the command is done,
    // so that its failure messages quote the replies of its own calls.
    std::shared_ptr<FtpLib> session = settings().session;
    auto hold = session->hold();
    return action();
}

bool close() { return closeSession(false); }

bool quit() { return closeSession(true); }

bool syst() {
    std::string type;
    if (settings().session->sysType(type)) return printMessage(Level::Info, format(" remote system type is: {}", type));
    return printMessage(Level::Error, "send SYST command failure");
}

bool literal() {
    Settings& s = settings();
    if (s.session->sendCmd(toServer(s.name), s.expresp)) return true;
    return printMessage(Level::Error,
                        format("{} {} failure, {}", "literal", maskedCommand(s.name), lastResponseText()));
}

bool response() {
    std::string text = lastResponseText();
    if (!text.empty()) platform::consoleWriteLine(text);
    return !text.empty();
}

// Its missing-argument check is changeWorkingDirectory's: storing an empty
// remote folder reports the same.
bool cwd() { return changeWorkingDirectory(settings().name); }

bool cdup() {
    if (settings().session->cdup())
        return printMessage(Level::Info, format(" changed to parent directory '{}'", currentDir()));
    return printMessage(Level::Error, format("{} failure, {}", "cdup", lastResponseText()));
}

bool pwd() {
    std::string folder;
    if (!settings().session->pwd(folder))
        return printMessage(Level::Error, format("{} failure: {}", "pwd", lastResponseText()));
    platform::consoleWriteLine(fromServer(folder));
    return true;
}

}  // namespace handlers
}  // namespace dorvan
