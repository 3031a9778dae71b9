#include "ftp/server_features.h"

#include <algorithm>
#include <string_view>

#include "text/ascii.h"

namespace dorvan {

ServerFeatures parseFeatures(const std::vector<std::string>& replyLines) {
    ServerFeatures features;
    for (size_t i = 1; i + 1 < replyLines.size(); ++i) {
        std::string_view line = replyLines[i];
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        const std::string name = text::asciiLower(line.substr(0, line.find(' ')));
        if (name == "mlst" || name == "mlsd") features.listsFacts = true;
        if (name == "mfmt") features.setsTimes = true;
    }
    return features;
}

}  // namespace dorvan
