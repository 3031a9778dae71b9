#pragma once
// Operations every handler shares: name conversion for the server, the
// server's last reply, the working folder and the login precondition.
#include <string>
#include <string_view>

namespace dorvan {

class FtpLib;
enum class TlsMode;

// Both throw handlers::CommandError when the encoding setting names a code
// page without a mapping: they sit inside expressions in every handler.
std::string toServer(std::string_view text);
std::string fromServer(std::string_view text);
std::string lastResponseText();
std::string lastResponseText(FtpLib& session);
std::string currentDir();
bool changeToRemote(const std::string& folder);
// The cwd command's work for a given folder (the remote argument uses it
// without consuming the one-shot name).
bool changeWorkingDirectory(const std::string& folder);

// The tls setting's value ("none", "explicit", "implicit") as a session's mode.
TlsMode tlsModeOf(const std::string& name);

// Clears isConnected and isLoggedin when the control connection was lost or
// given up since (a timeout, the server closing it), so that status tells the
// truth and the next login precondition connects and logs in again.
void forgetLostSession();

enum class HelpAfterMissing { always, atDebugOne };

// A setting the command needs is empty: reports the message (its "{}" filled
// with the command's name), prints the command's help text on the console
// (always, or only at debug level 1) and returns false.
bool reportMissing(std::string_view message, std::string_view command, HelpAfterMissing help);

}  // namespace dorvan
