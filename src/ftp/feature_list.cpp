#include "ftp/feature_list.h"

#include "text/ascii.h"

namespace dorvan {

bool featureListed(const std::vector<std::string>& replyLines, std::string_view feature) {
    for (size_t i = 1; i + 1 < replyLines.size(); ++i) {
        std::string_view line = replyLines[i];
        const size_t first = line.find_first_not_of(' ');
        if (first == std::string_view::npos) continue;
        line = line.substr(first, line.find_last_not_of(' ') + 1 - first);
        if (text::equalsIgnoringCase(line, feature)) return true;
    }
    return false;
}

}  // namespace dorvan
