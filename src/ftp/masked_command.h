#pragma once
#include <string>
#include <string_view>

namespace dorvan {

// An FTP command as it may be shown or kept: the argument of PASS and ACCT
// (any letter case) becomes "****"; other commands are returned unchanged.
std::string maskedCommand(std::string_view command);

}  // namespace dorvan
