// Temporary stand-ins until the help tables land.
#include "settings/command_help.h"
#include "settings/markdown_export.h"
#include "settings/product.h"
#include "settings/usage.h"
namespace dorvan {
std::string usageText() { return {}; }
bool printUsage() { return true; }
bool printItemHelp(std::string_view) { return false; }
bool exportMarkdown() { return true; }
std::string commandHelp(std::string_view) { return {}; }
std::string Config::banner() const { return "Dorvan"; }
std::string Config::displayName() const { return "Dorvan"; }
bool Config::openHomePage() { return true; }
bool Config::openManualPage() { return true; }
bool Config::openLog() { return true; }
void Config::writeShortcuts() {}
Config& config() { static Config c; return c; }
}  // namespace dorvan
