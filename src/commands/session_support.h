#pragma once
// Operations every handler shares: name conversion for the server, the
// server's last reply, the working folder and the login precondition.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/session_recipe.h"

namespace dorvan {

class FtpLib;

// Both throw handlers::CommandError when the encoding setting names a code
// page without a mapping: they sit inside expressions in every handler.
std::string toServer(std::string_view text);
std::string fromServer(std::string_view text);
// The same with a given code page (a batch's SessionRecipe::encoding), for
// threads that must not read the settings.
std::string toServer(std::string_view text, uint32_t encoding);
std::string fromServer(std::string_view text, uint32_t encoding);
std::string lastResponseText();
std::string lastResponseText(FtpLib& session);
std::string lastResponseText(FtpLib& session, uint32_t encoding);
std::string currentDir();
bool changeToRemote(const std::string& folder);
// The cwd command's work for a given folder (the remote argument uses it
// without consuming the one-shot name).
bool changeWorkingDirectory(const std::string& folder);

// Clears isConnected and isLoggedin when the control connection was lost or
// given up since (a timeout, the server closing it), so that status tells the
// truth and the next login precondition connects and logs in again.
void forgetLostSession();

// The open session as a batch command (verb) spreads its files: the recipe
// it was opened with, and the encoding and transfer type now in force; the
// folder is left to runBatch. Reports "{verb} failure: ..." and gives nothing
// when the host or port set since names another server than the open
// session's: neither server gets a part of the work.
std::optional<SessionRecipe> batchSessionRecipe(std::string_view verb);

enum class HelpAfterMissing { always, atDebugOne };

// A setting the command needs is empty: reports the message (its "{}" filled
// with the command's name), prints the command's help text on the console
// (always, or only at debug level 1) and returns false.
bool reportMissing(std::string_view message, std::string_view command, HelpAfterMissing help);

}  // namespace dorvan
