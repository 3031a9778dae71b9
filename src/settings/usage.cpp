#include "settings/usage.h"

#include "platform/console.h"
#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/product.h"

namespace dorvan {
namespace {

// How the program is started, below the first usage line.
constexpr std::string_view processCommandLineForms[] = {
    "               Dorvan [--<argument> <parameters>] [@<command file>]",
    "               Dorvan @<command file> [--<argument> <parameters>]",
    "               Dorvan --help",
    " A command given on the process command line runs once, then the program ends: exit status 0 when it",
    " succeeded, 1 when it failed, 64 when the command line was not understood. Arguments given first are",
    " stored, the command file runs, then commands are read from the prompt (or from standard input).",
};

std::string buildUsage() {
    const std::string eol(platform::lineEnd());
    std::string text = config().banner() + eol;
    // A line feed alone ends the usage line, on every system.
    text += " Usage:        Dorvan <command> [--<argument> <parameters>]\n";
    for (std::string_view line : processCommandLineForms) text += std::string(line) + eol;
    text += " Commands: " + eol;
    for (const auto& [name, help] : commandHelpTable()) text += format("  {0,-12}", name) + firstLine(help) + eol;
    text += eol + " Arguments: " + eol;
    for (const auto& [name, help] : argumentHelpTable()) text += format("  --{0,-12}", name) + firstLine(help) + eol;
    text += eol + " Please Note: Parameters that include spaces must be enclosed in quotes" + eol;
    text += eol +
            " To get a short description af a particular command or argument, type that command or argument followed "
            "by a question mark" +
            eol + " example: connect ?" + eol;
    return text;
}

}  // namespace

const std::string& usageText() {
    static const std::string text = buildUsage();
    return text;
}

bool printUsage() {
    platform::consoleWriteLine(usageText());
    return true;
}

bool printItemHelp(std::string_view lowerCasedName) {
    std::string text = commandHelp(lowerCasedName);
    if (text.empty()) {
        auto argument = argumentHelp(lowerCasedName);
        if (!argument) return false;
        text = std::move(*argument);
    }
    platform::consoleWriteLine(text.append(platform::lineEnd()));
    return true;
}

}  // namespace dorvan
