#include "commands/session_support.h"

#include "commands/handlers.h"
#include "ftp/ftp_lib.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"
#include "text/ascii.h"

namespace dorvan {

namespace {

// UTF-8 stays as it is; any other encoding goes through `convert`.
template <typename Convert>
std::string converted(std::string_view text, uint32_t encoding, Convert convert) {
    if (encoding == 65001) return std::string(text);
    std::string out, error;
    if (!convert(text, encoding, &out, &error)) throw handlers::CommandError(error);
    return out;
}

}  // namespace

std::string toServer(std::string_view text, uint32_t encoding) {
    return converted(text, encoding, platform::utf8ToCodePage);
}

std::string fromServer(std::string_view text, uint32_t encoding) {
    return converted(text, encoding,
                     [](std::string_view bytes, unsigned codePage, std::string* utf8, std::string* error) {
                         return platform::codePageToUtf8(bytes, codePage, utf8, error);
                     });
}

std::string toServer(std::string_view text) { return toServer(text, settings().encoding); }

std::string fromServer(std::string_view text) { return fromServer(text, settings().encoding); }

std::string lastResponseText() {
    const auto& session = settings().session;
    return session ? lastResponseText(*session) : std::string();
}

std::string lastResponseText(FtpLib& session) { return fromServer(session.lastResponse()); }

std::string lastResponseText(FtpLib& session, uint32_t encoding) {
    return fromServer(session.lastResponse(), encoding);
}

SessionRecipe commandRecipe() {
    const Settings& s = settings();
    SessionRecipe recipe = s.sessionRecipe;
    recipe.encoding = s.encoding;
    recipe.type = s.transferType;
    return recipe;
}

std::optional<SessionRecipe> batchSessionRecipe(std::string_view verb) {
    const Settings& s = settings();
    const SessionRecipe recipe = commandRecipe();
    // An empty host names no other server: connect keeps the open session for it.
    if ((!s.host.empty() && !text::equalsIgnoringCase(s.host, text::asciiLower(recipe.host))) ||
        s.port != recipe.port) {
        printMessage(Level::Error, format("{} failure: the open session is to {} port {}, not to {} port {}; "
                                          "close it first",
                                          verb, recipe.host, recipe.port, s.host, s.port));
        return std::nullopt;
    }
    return recipe;
}

std::string currentDir() {
    const auto& session = settings().session;
    return session ? fromServer(session->pwd()) : std::string();
}

bool changeToRemote(const std::string& folder) {
    if (!settings().isLoggedin) return false;
    Settings& s = settings();
    bool changed =
        s.remoteChangeQuiet && !folder.empty() ? s.session->chdir(toServer(folder)) : changeWorkingDirectory(folder);
    if (!changed) s.remoteChangeFailed = true;
    return changed;
}

bool reportMissing(std::string_view message, std::string_view command, HelpAfterMissing help) {
    printMessage(Level::Error, format(message, command));
    if (help == HelpAfterMissing::always || settings().debug == 1) platform::consoleWriteLine(commandHelp(command));
    return false;
}

void forgetLostSession() {
    Settings& s = settings();
    if (!s.isConnected || (s.session && s.session->isOpen())) return;
    s.isLoggedin = false;
    s.isConnected = false;
}

}  // namespace dorvan
