#include <gtest/gtest.h>

#include "shell/command_file.h"
#include "shell/tokenizer.h"

using dorvan::ArgumentList;
using dorvan::splitCommandLine;

TEST(SplitCommandLine, QuotesBlanksAndTabs) {
    struct Case {
        const char* line;
        ArgumentList tokens;
    } cases[] = {
        {"get --src \"my file.txt\"", {"get", "--src", "my file.txt"}},
        {"get --src \"a b\"c", {"get", "--src", "a b", "c"}},
        {"get --src \"a b", {"get", "--src", "\"a", "b"}},
        {"get\t--src  x", {"get\t--src", "x"}},
        {" \t\r\n set --host h \r\n", {"set", "--host", "h"}},
        {"\"\"", {""}},
        {"\"my verb\" --port 1", {"my verb", "--port", "1"}},
        {"say a\"b\"c", {"say", "a\"b\"c"}},
        {"\"\" x", {"", "x"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.tokens) << c.line;
}

TEST(CommandFile, ByteOrderMarksAndLineRules) {
    const std::string text = "get --src \xC3\xA4.txt";  // ä, as UTF-8
    const std::string utf16le("\xFF\xFEg\0e\0t\0 \0-\0-\0s\0r\0c\0 \0\xE4\0.\0t\0x\0t\0", 32);
    const std::string utf16be("\xFE\xFF\0g\0e\0t\0 \0-\0-\0s\0r\0c\0 \0\xE4\0.\0t\0x\0t", 32);
    std::string utf32le("\xFF\xFE\0\0", 4), utf32be("\0\0\xFE\xFF", 4);
    for (char c : std::string("get --src \xE4.txt")) {
        utf32le += std::string(1, c) + std::string(3, '\0');
        utf32be += std::string(3, '\0') + std::string(1, c);
    }
    for (const std::string& encoded : {"\xEF\xBB\xBF" + text, utf16le, utf16be, utf32le, utf32be, text})
        EXPECT_EQ(dorvan::decodeCommandFileText(encoded), text);

    auto list = dorvan::splitCommandFile(
        "  # comment\r\n\r\nstatus\r\n\"get --src a.txt\"\n  # not a comment? it is, after trimming\n"
        "\"\"\"\nset --host h\t\n  quit");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].line, "status");
    EXPECT_EQ(list[1].line, "get --src a.txt");
    EXPECT_EQ(list[1].args, (ArgumentList{"get", "--src", "a.txt"}));
    EXPECT_EQ(list[2].line, "set --host h");
    EXPECT_EQ(list[3].args, ArgumentList{"quit"});
}

TEST(CommandFile, KeepsEveryLineOfALongFile) {
    std::string text;
    for (int i = 0; i < 12000; ++i) text += "set --port " + std::to_string(i) + "\n";
    auto list = dorvan::splitCommandFile(text);
    ASSERT_EQ(list.size(), 12000u);
    EXPECT_EQ(list.back().line, "set --port 11999");
}
