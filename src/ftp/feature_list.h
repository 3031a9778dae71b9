#pragma once
// What a server offers beyond the basic commands, as its FEAT reply lists it.
#include <string>
#include <string_view>
#include <vector>

namespace dorvan {

// True when a FEAT reply (its lines without line ends) names `feature`
// (lower case; the reply's letter case and blanks around it do not count):
// one feature a line, between the first line and the last.
bool featureListed(const std::vector<std::string>& replyLines, std::string_view feature);

}  // namespace dorvan
