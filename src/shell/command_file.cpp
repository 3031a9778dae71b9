#include "shell/command_file.h"

#include <string_view>

#include "platform/codepage.h"

namespace dorvan {
namespace {

struct ByteOrderMark {
    std::string_view bytes;
    const char* charset;
};

// UTF-32 LE first: its mark begins with the UTF-16 LE one.
constexpr ByteOrderMark marks[] = {
    {.bytes = std::string_view("\xFF\xFE\x00\x00", 4), .charset = "UTF-32LE"},
    {.bytes = std::string_view("\x00\x00\xFE\xFF", 4), .charset = "UTF-32BE"},
    {.bytes = "\xEF\xBB\xBF", .charset = "UTF-8"},
    {.bytes = "\xFF\xFE", .charset = "UTF-16LE"},
    {.bytes = "\xFE\xFF", .charset = "UTF-16BE"},
};

}  // namespace

bool decodeCommandFileText(const std::string& bytes, std::string* text, size_t* replaced, std::string* error) {
    for (const ByteOrderMark& mark : marks) {
        if (bytes.starts_with(mark.bytes))
            return platform::charsetToUtf8(std::string_view(bytes).substr(mark.bytes.size()), mark.charset, text, error,
                                           replaced);
    }
    return platform::codePageToUtf8(bytes, 0, text, error, replaced);
}

// The text is split as it is, not trimmed first, so that line numbers count
// from the file's first line; the blank lines at either end are dropped anyway.
CommandList splitCommandFile(const std::string& text, std::vector<size_t>* overlong) {
    CommandList list;
    std::string_view rest = text;
    for (size_t number = 1;; ++number) {
        size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > commandLineCap) {
            overlong->push_back(number);
            line = {};
        }
        line = trimWhiteSpace(line);
        if (line.size() >= 2 && line.front() == '"') {
            while (!line.empty() && line.front() == '"') line.remove_prefix(1);
            while (!line.empty() && line.back() == '"') line.remove_suffix(1);
        }
        if (!line.empty() && line.front() != '#') {
            ArgumentList args = splitCommandLine(line);
            if (!args.empty()) list.push_back({std::string(line), std::move(args)});
        }
        if (lf == std::string_view::npos) break;
        rest.remove_prefix(lf + 1);
    }
    return list;
}

}  // namespace dorvan
