#include "ftp/call_outcome.h"

#include <algorithm>
#include <array>

namespace dorvan {

int replyCode(std::string_view line) {
    if (line.size() < 3 || !std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

OutcomeKind refusalKind(int code) {
    constexpr std::array transient = {421, 425, 426, 450, 451, 452};
    return std::ranges::find(transient, code) != transient.end() ? OutcomeKind::refusedTransient
                                                                 : OutcomeKind::refusedPermanent;
}

}  // namespace dorvan
