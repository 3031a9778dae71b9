#include "settings/usage.h"

#include "platform/console.h"
#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/product.h"

namespace dorvan {
namespace {

// How the program is started, below the first usage line.
constexpr std::string_view processCommandLineForms =
    "               Dorvan [--<argument> <parameters>] [@<command file>]\r\n"
    "               Dorvan @<command file> [--<argument> <parameters>]\r\n"
    "               Dorvan --help\r\n"
    " A command given on the process command line runs once, then the program ends: exit status 0 when it\r\n"
    " succeeded, 1 when it failed, 64 when the command line was not understood. Arguments given first are\r\n"
    " stored, the command file runs, then commands are read from the prompt (or from standard input).\r\n";

std::string buildUsage() {
    std::string text = config().banner() + "\r\n";
    text += " Usage:        Dorvan <command> [--<argument> <parameters>]\n";
    text += processCommandLineForms;
    text += " Commands: \r\n";
    for (const auto& [name, help] : commandHelpTable()) text += format("  {0,-12}", name) + firstLine(help) + "\r\n";
    text += "\r\n Arguments: \r\n";
    for (const auto& [name, help] : argumentHelpTable()) text += format("  --{0,-12}", name) + firstLine(help) + "\r\n";
    text += "\r\n Please Note: Parameters that include spaces must be enclosed in quotes\r\n";
    text +=
        "\r\n To get a short description af a particular command or argument, type that command or argument followed "
        "by a question mark\r\n example: connect ?\r\n";
    return text;
}

}  // namespace

const std::string& usageText() {
    static const std::string text = buildUsage();
    return text;
}

bool printUsage() {
    platform::consoleWrite(usageText() + "\r\n");
    return true;
}

bool printItemHelp(std::string_view lowerCasedName) {
    std::string text = commandHelp(lowerCasedName);
    if (text.empty()) {
        auto argument = argumentHelp(lowerCasedName);
        if (!argument) return false;
        text = std::move(*argument);
    }
    platform::consoleWrite(text + "\r\n\r\n");
    return true;
}

}  // namespace dorvan
