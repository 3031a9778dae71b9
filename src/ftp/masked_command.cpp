#include "ftp/masked_command.h"

#include "text/ascii.h"

namespace dorvan {

std::string maskedCommand(std::string_view command) {
    size_t start = command.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::string(command);
    size_t verbEnd = std::min(command.find(' ', start), command.size());
    std::string_view verb = command.substr(start, verbEnd - start);
    bool secret = text::equalsIgnoringCase(verb, "pass") || text::equalsIgnoringCase(verb, "acct");
    if (!secret || verbEnd == command.size()) return std::string(command);
    return std::string(command.substr(0, verbEnd + 1)) + "****";
}

}  // namespace dorvan
