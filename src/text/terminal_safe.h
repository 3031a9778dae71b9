#pragma once
// Text from a server or a file made harmless for a terminal, so that it can
// never drive the terminal (move the cursor, change the title, ...).
#include <string>
#include <string_view>

namespace dorvan::text {

// `text` with every C0 control character except TAB, LF and a CR right
// before an LF, DEL, and every C1 control character (U+0080 to U+009F in
// UTF-8) turned into one '?'.
std::string terminalSafe(std::string_view text);

}  // namespace dorvan::text
