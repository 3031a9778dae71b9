#pragma once
// The netrc file's text: which login and password it gives for a host.
#include <optional>
#include <string>
#include <string_view>

namespace dorvan {

struct NetrcEntry {
    std::string login;     // empty when the entry names none
    std::string password;  // empty when the entry names none
};

// The first `machine` entry for `host` (letter case ignored), else the
// `default` entry; when `user` is not empty, only an entry whose login is
// `user` or empty qualifies. Tokens are separated by blanks and line ends; a
// token in double quotes may hold blanks, and a backslash in it takes the next
// character as it is. `account` values and `macdef` bodies (up to an empty
// line) are skipped, and so is a line that begins with '#'.
std::optional<NetrcEntry> findNetrcEntry(std::string_view text, std::string_view host, std::string_view user);

}  // namespace dorvan
