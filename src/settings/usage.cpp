#include "settings/usage.h"

#include "platform/console.h"
#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/product.h"

namespace dorvan {
namespace {

std::string buildUsage() {
    std::string text = config().banner() + "\r\n";
    text += " Usage:        Dorvan <command> [--<argument> <parameters>]\n Commands: \r\n";
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
