#pragma once
// The hidden verb `generate`: every command and argument help text as one
// Markdown document, "markdown.txt" where the program keeps its files for the
// user (the data folder on POSIX systems, the program folder on Windows).
#include <string>
#include <string_view>

namespace dorvan {

// One entry: "### **name**" padded with "&nbsp;" to 12 characters, the
// summary, a blank line, the further lines, then `separator`. Lines end CR LF.
std::string markdownBlock(std::string_view name, std::string_view help, std::string_view separator);

// The whole document.
std::string markdownDocument();

// Truncates and writes the file in one piece; false with the reason
// ("cannot create ..." or "cannot write ...") when that fails.
bool exportMarkdown(std::string* error);

}  // namespace dorvan
