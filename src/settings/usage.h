#pragma once
// The usage screen (verbs `help` and `?`) and the help of one item (`<name> ?`).
// Console only: neither is logged.
#include <string>
#include <string_view>

namespace dorvan {

// Banner, the commands and the arguments with their summaries, and closing
// notes. Built on first use, then kept.
const std::string& usageText();

// Writes usageText() and a line end to the console. Returns true.
bool printUsage();

// Writes the command help, else the argument help, of `lowerCasedName`
// followed by two line ends. False, writing nothing, when neither exists.
bool printItemHelp(std::string_view lowerCasedName);

}  // namespace dorvan
