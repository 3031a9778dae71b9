#pragma once
#include <string>
#include <string_view>
namespace dorvan {
std::string commandHelp(std::string_view name);
}  // namespace dorvan
