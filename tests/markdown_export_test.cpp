#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <string>

#include "platform/paths.h"
#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/markdown_export.h"
#include "support/files.h"
#include "support/shell_command.h"

using namespace dorvan;
using dorvan::test::count;

namespace {

std::string repeat(std::string_view text, size_t times) {
    std::string out;
    while (times--) out += text;
    return out;
}

std::string readWhole(const std::string& path) {
    std::string content, error;
    EXPECT_TRUE(platform::readWholeFile(path, content, &error)) << error;
    return content;
}

}  // namespace

TEST(MarkdownBlock, PaddingLineBreaksAndSeparator) {
    struct Case {
        std::string name, help, expected;
    } cases[] = {
        {"get", " receive one file\nsyntax:\n    get",
         "### **get**" + repeat("&nbsp;", 9) + " receive one file\n\nsyntax:\n    get\n<sep>"},
        {"@cmdfile", " read\nsyntax:", "### **@cmdfile**" + repeat("&nbsp;", 4) + " read\n\nsyntax:\n<sep>"},
        {"twelve_chars", " s", "### **twelve_chars** s\n\n<sep>"},
        {"thirteen_char", " s\nx", "### **thirteen_char** s\n\nx\n<sep>"},
        // A text ending with a line break has an empty last line of its own.
        {"rmd", " s\nx\n", "### **rmd**" + repeat("&nbsp;", 9) + " s\n\nx\n\n<sep>"},
        // A carriage return before a line feed is dropped, a lone one kept.
        {"a", " s\r\nx\ry\r\n", "### **a**" + repeat("&nbsp;", 11) + " s\n\nx\ry\n\n<sep>"},
    };
    for (const Case& c : cases) EXPECT_EQ(markdownBlock(c.name, c.help, "<sep>"), c.expected) << c.name;
}

// One test owns markdown.txt, so parallel test processes cannot collide on it.
TEST(MarkdownExport, WritesTheWholeDocumentOnceEachTimeOrSaysWhyNot) {
    test::TempDataHome data;
    std::string path = platform::dataFolder() + "markdown.txt";
    {
        std::FILE* old = std::fopen(path.c_str(), "wb");
        ASSERT_NE(old, nullptr);
        std::string longer(200000, 'x');
        std::fwrite(longer.data(), 1, longer.size(), old);
        std::fclose(old);
    }
    std::string error;
    EXPECT_TRUE(exportMarkdown(&error)) << error;
    std::string first = readWhole(path);
    EXPECT_TRUE(exportMarkdown(&error)) << error;
    std::string second = readWhole(path);
    platform::removeFile(path);

    EXPECT_EQ(first, second);
    EXPECT_EQ(first, markdownDocument());
    ASSERT_TRUE(first.starts_with("## **Dorvan Commands:**\n### **set**"));
    EXPECT_NE(first.find("\n----------\n\n## **Dorvan Arguments:**\n### **host**"), std::string::npos);
    EXPECT_TRUE(first.ends_with("    --ratelimit 512\n\n----------------\n\n"));
    EXPECT_EQ(count(first, "\n----------\n\n### **"), commandHelpTable().size() - 1);
    EXPECT_EQ(count(first, "\n----------------\n\n"), argumentHelpTable().size());
    EXPECT_EQ(count(first, "### **"), commandHelpTable().size() + argumentHelpTable().size());
    EXPECT_EQ(count(first, "\r"), 0u);
    EXPECT_NE(first.find("\n### **@cmdfile**" + repeat("&nbsp;", 4) + " read commands from @textfile\n"),
              std::string::npos);
    EXPECT_NE(first.find("\n### **maxfolders**&nbsp;&nbsp; Specifies the maximum number of folders to find. \n"),
              std::string::npos);
    EXPECT_NE(first.find("\n### **encoding**" + repeat("&nbsp;", 4) + "choose the encoding of ftp server\n"),
              std::string::npos);

    // A folder in the file's place cannot be opened for writing.
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    EXPECT_FALSE(exportMarkdown(&error));
    EXPECT_TRUE(error.starts_with("cannot create ")) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    ::rmdir(path.c_str());
}
