#include "settings/markdown_export.h"

#include "platform/console.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/format.h"
#include "settings/help_table.h"
#include "settings/product.h"

namespace dorvan {
namespace {

// A rule between two entries, on a line of its own with an empty line after it.
std::string separator(std::string_view rule) {
    const std::string_view eol = platform::lineEnd();
    return std::string(eol).append(rule).append(eol).append(eol);
}

std::string section(std::string_view heading, const HelpTable& table, std::string_view rule) {
    std::string text = format(heading, config().displayName()).append(platform::lineEnd());
    const std::string between = separator(rule);
    for (const auto& [name, help] : table) text += markdownBlock(name, help, between);
    return text;
}

}  // namespace

std::string markdownBlock(std::string_view name, std::string_view help, std::string_view separator) {
    std::string padding;
    for (size_t n = name.size(); n < 12; ++n) padding += "&nbsp;";
    const std::string_view eol = platform::lineEnd();
    std::string block;
    size_t start = 0;
    for (bool first = true;; first = false) {
        size_t end = help.find('\n', start);
        std::string_view line = help.substr(start, end == std::string_view::npos ? end : end - start);
        if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
        if (first)
            block.append(format("### **{}**{}{}", name, padding, line)).append(eol).append(eol);
        else
            block.append(line).append(eol);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    block += separator;
    return block;
}

std::string markdownDocument() {
    return section("## **{} Commands:**", commandHelpTable(), "----------") +
           section("## **{} Arguments:**", argumentHelpTable(), "----------------");
}

bool exportMarkdown(std::string* error) {
    std::string document = markdownDocument();
    std::string path = platform::ownFilesFolder() + "markdown.txt";
    platform::OutputFile file;
    std::string reason;
    if (!file.open(path, platform::OpenMode::replace, &reason)) {
        *error = "cannot create " + reason;
        return false;
    }
    if (!file.write(document, &reason) || !file.close(&reason)) {
        *error = "cannot write " + reason;
        return false;
    }
    return true;
}

}  // namespace dorvan
