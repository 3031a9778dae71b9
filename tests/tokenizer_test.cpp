#include <gtest/gtest.h>

#include "shell/command_file.h"
#include "shell/tokenizer.h"

using dorvan::ArgumentList;
using dorvan::splitCommandLine;

namespace {

std::string decoded(const std::string& bytes, size_t* replaced) {
    std::string text, error;
    EXPECT_TRUE(dorvan::decodeCommandFileText(bytes, &text, replaced, &error)) << error;
    return text;
}

}  // namespace

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
    for (const std::string& encoded : {"\xEF\xBB\xBF" + text, utf16le, utf16be, utf32le, utf32be, text}) {
        size_t replaced = 0;
        EXPECT_EQ(decoded(encoded, &replaced), text);
        EXPECT_EQ(replaced, 0u);
    }

    std::vector<size_t> overlong;
    auto list = dorvan::splitCommandFile(
        "  # comment\r\n\r\nstatus\r\n\"get --src a.txt\"\n  # not a comment? it is, after trimming\n"
        "\"\"\"\nset --host h\t\n  quit",
        &overlong);
    EXPECT_TRUE(overlong.empty());
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
    std::vector<size_t> overlong;
    auto list = dorvan::splitCommandFile(text, &overlong);
    ASSERT_EQ(list.size(), 12000u);
    EXPECT_EQ(list.back().line, "set --port 11999");
}

static std::string fffd(size_t count) {
    std::string out;
    while (count-- > 0) out += "\xEF\xBF\xBD";
    return out;
}

// A bad code unit becomes one U+FFFD and the units after it still decode.
TEST(CommandFile, BadCodeUnitsAreReplacedInPlace) {
    using namespace std::string_literals;
    struct Case {
        std::string encoded;
        std::string text;
        size_t replaced;
    } cases[] = {
        {"\xFF\xFE" "a\0\x00\xD8\n\0b\0"s, "a\xEF\xBF\xBD\nb", 1},             // lone high surrogate, UTF-16LE
        {"\xFE\xFF" "\0a\xDC\x00\0\n\0b"s, "a\xEF\xBF\xBD\nb", 1},             // lone low surrogate, UTF-16BE
        {"\xFF\xFE" "a\0\x00\xD8"s, "a\xEF\xBF\xBD", 1},                        // high surrogate at the end
        {"\xFF\xFE" "a\0b"s, "a\xEF\xBF\xBD", 1},                                // odd last byte
        {"\xFF\xFE\0\0" "a\0\0\0\0\0\x11\0b\0\0\0"s, "a\xEF\xBF\xBD" "b", 1},  // above U+10FFFF
        {"\0\0\xFE\xFF" "\0\0\xD8\0\0\0\0q"s, "\xEF\xBF\xBDq", 1},            // surrogate value, UTF-32BE
        {"a\xFF\xFE" "b"s, "a\xEF\xBF\xBD\xEF\xBF\xBD" "b", 2},                   // no mark: bytes
        {"\xEF\xBB\xBF\xF8\x88\x80\x80\x80\xC3\xA4"s, fffd(5) + "\xC3\xA4", 5},  // past U+10FFFF
        {"\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80"s, fffd(9), 9},  // surrogate, overlong, too big
    };
    for (const Case& c : cases) {
        size_t replaced = 0;
        EXPECT_EQ(decoded(c.encoded, &replaced), c.text) << c.text;
        EXPECT_EQ(replaced, c.replaced) << c.text;
    }
}

TEST(CommandFile, OverlongLinesAreLeftOutByNumber) {
    const std::string longLine(dorvan::commandLineCap + 1, 'x');
    std::vector<size_t> overlong;
    auto list = dorvan::splitCommandFile("\n" + longLine + "\nstatus\n" + std::string(dorvan::commandLineCap, 'y') +
                                             "\r\n" + longLine,
                                         &overlong);
    EXPECT_EQ(overlong, (std::vector<size_t>{2, 5}));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].line, "status");
    EXPECT_EQ(list[1].line.size(), dorvan::commandLineCap);
}
