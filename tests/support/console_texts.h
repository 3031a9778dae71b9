#pragma once
// Console texts every platform's build prints the same way: the prompt, the
// banner and the status of a fresh start.
#include <string>
#include <vector>

#include "settings/command_help.h"
#include "settings/product.h"
#include "settings/usage.h"

namespace dorvan::test {

inline const std::string prompt = " Dorvan>";

inline std::string banner() { return dorvan::config().banner() + "\r\n"; }

// What an interactive run prints: the banner, then one prompt before each
// command's output and a last one before end of input.
inline std::string session(const std::vector<std::string>& replies) {
    std::string text = banner();
    for (const auto& reply : replies) text += prompt + reply;
    return text + prompt;
}

inline std::string usageReply() { return dorvan::usageText() + "\r\n"; }
inline std::string commandHelpReply(const std::string& name) { return dorvan::commandHelp(name) + "\r\n\r\n"; }

inline const std::string defaultStatus =
    " isConnected : false\r\n"
    " isLoggedin  : false\r\n"
    "\r\n"
    " port        : 21\r\n"
    " passive     : true\r\n"
    " justprint   : false\r\n"
    " overwrite   : true\r\n"
    " image       : image\r\n"
    " debug       : 0\r\n"
    " encoding    : 0\r\n"
    " expresp     : 2\r\n"
    " recurse     : false\r\n"
    " timeout     : 60\r\n"
    " errorlevel  : false\r\n"
    " tls         : none\r\n"
    " verify      : true\r\n"
    " parallel    : 1\r\n"
    " retries     : 3\r\n"
    " retrywait   : 2\r\n"
    " resume      : false\r\n"
    " keeptime    : false\r\n"
    " netrc       : false\r\n"
    " direction   : down\r\n"
    " delete      : false\r\n"
    "\r\n";

// `status` with a line added before the one labelled `before`.
inline std::string withLine(const std::string& status, const std::string& before, const std::string& line) {
    std::string out = status;
    out.insert(out.find(" " + before + " "), line + "\r\n");
    return out;
}

inline std::string withHost(const std::string& status, const std::string& host) {
    return withLine(status, "port", " host        : " + host);
}

// An internet shortcut as the program writes it beside itself; `iconFolder`
// is the system folder on Windows, empty elsewhere.
inline std::string shortcutContent(const std::string& address, const std::string& iconFolder = "") {
    return "[DEFAULT]\r\nBASEURL=\r\n[InternetShortcut]\r\nURL=" + address +
           "\r\nWorkingDirectory=\r\nShowCommand=3\r\nIconFile=" +
           (iconFolder.empty() ? "" : iconFolder + "\\url.dll") + "\r\nIconIndex=1\r\nModified=\r\nHotKey=";
}

// A command file's text with each byte-order mark the program reads: UTF-8,
// UTF-16 LE and BE, UTF-32 LE and BE, in that order (characters up to U+FFFF).
inline std::vector<std::string> withByteOrderMarks(const std::u32string& text) {
    std::string utf8("\xEF\xBB\xBF"), utf16le("\xFF\xFE", 2), utf16be("\xFE\xFF", 2), utf32le("\xFF\xFE\0\0", 4),
        utf32be("\0\0\xFE\xFF", 4);
    for (char32_t c : text) {
        auto low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
        if (c < 0x80)
            utf8 += low;
        else if (c < 0x800)
            utf8 += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        else
            utf8 += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                     static_cast<char>(0x80 | (c & 0x3F))};
        utf16le += {low, high};
        utf16be += {high, low};
        utf32le += {low, high, 0, 0};
        utf32be += {0, 0, high, low};
    }
    return {utf8, utf16le, utf16be, utf32le, utf32be};
}

}  // namespace dorvan::test
