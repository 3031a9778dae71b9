#pragma once
// Operations every handler shares: name conversion for the server, the
// server's last reply, the working folder and the login precondition.
#include <string>
#include <string_view>

namespace dorvan {

std::string toServer(std::string_view text);
std::string fromServer(std::string_view text);
std::string lastResponseText();
std::string currentDir();
bool changeToRemote(const std::string& folder);
// The cwd command's work for a given folder (the remote argument uses it
// without consuming the one-shot name).
bool changeWorkingDirectory(const std::string& folder);

// Prints a handler's help text (console only) after a missing setting.
void printCommandHelp(std::string_view command);

}  // namespace dorvan
