#pragma once
// Console texts as the POSIX build prints them: the prompt, the banner and the
// status of a fresh start, each line ended by LF. The Windows build ends its
// lines with CR LF (withCrLf).
#include <string>
#include <vector>

#include "settings/command_help.h"
#include "settings/product.h"
#include "settings/usage.h"

namespace dorvan::test {

inline const std::string prompt = " Dorvan>";

// `text` with each LF line end as CR LF.
inline std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

inline std::string banner() { return dorvan::config().banner() + "\n"; }

// What an interactive run prints: the banner, then one prompt before each
// command's output and a last one before end of input.
inline std::string session(const std::vector<std::string>& replies) {
    std::string text = banner();
    for (const auto& reply : replies) text += prompt + reply;
    return text + prompt;
}

inline std::string usageReply() { return dorvan::usageText() + "\n"; }
inline std::string commandHelpReply(const std::string& name) { return dorvan::commandHelp(name) + "\n\n"; }

inline const std::string defaultStatus =
    " isConnected : false\n"
    " isLoggedin  : false\n"
    "\n"
    " port        : 21\n"
    " passive     : true\n"
    " justprint   : false\n"
    " overwrite   : true\n"
    " image       : image\n"
    " debug       : 0\n"
    " encoding    : 0\n"
    " expresp     : 2\n"
    " recurse     : false\n"
    " timeout     : 60\n"
    " errorlevel  : false\n"
    " tls         : none\n"
    " verify      : true\n"
    " parallel    : 1\n"
    " retries     : 3\n"
    " retrywait   : 2\n"
    " resume      : false\n"
    " keeptime    : false\n"
    " netrc       : false\n"
    " direction   : down\n"
    " delete      : false\n"
    " checksum    : auto\n"
    " ratelimit   : 0\n"
    "\n";

// `status` with a line added before the one labelled `before`.
inline std::string withLine(const std::string& status, const std::string& before, const std::string& line) {
    std::string out = status;
    out.insert(out.find(" " + before + " "), line + "\n");
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
