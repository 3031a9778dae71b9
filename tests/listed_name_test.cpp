#include "ftp/listed_name.h"

#include <gtest/gtest.h>

namespace dorvan {
namespace {

TEST(ListedName, KeepsAWalkInsideTheListedFolder) {
    struct Case {
        const char* name;
        bool safe;
    };
    const Case cases[] = {
        {"a.txt", true}, {"x/y", true},        {"..a", true},    {"", false},     {".", false},        {"..", false},
        {"../x", false}, {"a/../b", false},    {"/etc", false},  {"a//b", false}, {"a/", false},       {"a/./b", false},
        {"a/..", false}, {"old\\a.bak", true}, {"..\\x", false}, {"\\x", false},  {"x\\..\\y", false}, {"a\\", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isSafeListedName(c.name), c.safe) << c.name;
}

// "\" separates folders only where the listing says so, and only where it is a
// character: 0x5C is also the second byte of Shift-JIS characters such as 表 (95 5C).
TEST(ListedName, BackslashesBecomeSlashesOnlyAsCharactersOfAWindowsListing) {
    struct Case {
        const char* name;
        bool backslashSeparates;
        unsigned codePage;
        const char* path;
    };
    const Case cases[] = {
        {"old\\important.bak", false, utf8CodePage, "old\\important.bak"},
        {"old\\important.bak", true, utf8CodePage, "old/important.bak"},
        {"\x95\x5C.txt", true, 932, "\x95\x5C.txt"},
        {"a\\\x95\x5C\\b", true, 932, "a/\x95\x5C/b"},
        {"\x95\x5C", true, 932, "\x95\x5C"},
        {"a\\b", true, 1252, "a/b"},
    };
    for (const Case& c : cases) EXPECT_EQ(listedPath(c.name, c.backslashSeparates, c.codePage), c.path) << c.name;
    EXPECT_EQ(decodedName("\x95\x5C.txt", 932), "\xE8\xA1\xA8.txt");
    EXPECT_TRUE(isSafeListedName(decodedName("\x95\x5C", 932)));
}

TEST(ListedName, JoinsWithOneSlash) {
    EXPECT_EQ(joinRemotePath("", "a.txt"), "a.txt");
    EXPECT_EQ(joinRemotePath("/", "a.txt"), "/a.txt");
    EXPECT_EQ(joinRemotePath("t", "a.txt"), "t/a.txt");
    EXPECT_EQ(joinRemotePath("t/", "sub"), "t/sub");
}

}  // namespace
}  // namespace dorvan
