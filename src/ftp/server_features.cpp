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
        features.named.push_back(name);
        if (name == "hash") {
            std::string_view list = line.substr(std::min(line.find(' '), line.size()));
            while (!list.empty()) {
                std::string_view item = list.substr(0, list.find(';'));
                list.remove_prefix(std::min(item.size() + 1, list.size()));
                while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
                while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
                const bool selected = !item.empty() && item.back() == '*';
                if (selected) item.remove_suffix(1);
                if (item.empty()) continue;
                features.hashAlgorithms.emplace_back(item);
                if (selected) features.hashSelected = item;
            }
        }
        if (name == "mlst" || name == "mlsd") features.listsFacts = true;
        if (name == "mfmt") features.setsTimes = true;
        if (name == "rest" && text::equalsIgnoringCase(line.substr(line.find(' ') + 1), "stream"))
            features.restartsStreams = true;
    }
    return features;
}

bool ServerFeatures::offers(std::string_view lowerCaseName) const {
    return std::ranges::find(named, lowerCaseName) != named.end();
}

}  // namespace dorvan
