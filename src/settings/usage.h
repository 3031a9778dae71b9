#pragma once
#include <string>
#include <string_view>
namespace dorvan {
std::string usageText();
bool printUsage();
bool printItemHelp(std::string_view lowerCasedName);
}  // namespace dorvan
