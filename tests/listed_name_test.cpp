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
        {"a.txt", true}, {"x/y", true},    {"..a", true},     {"", false},     {".", false},
        {"..", false},   {"../x", false},  {"a/../b", false}, {"/etc", false}, {"a//b", false},
        {"a/", false},   {"a/./b", false}, {"a/..", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isSafeListedName(c.name), c.safe) << c.name;
    EXPECT_FALSE(isSafeListedName(withForwardSlashes("..\\x")));
}

TEST(ListedName, JoinsWithOneSlash) {
    EXPECT_EQ(joinRemotePath("", "a.txt"), "a.txt");
    EXPECT_EQ(joinRemotePath("/", "a.txt"), "/a.txt");
    EXPECT_EQ(joinRemotePath("t", "a.txt"), "t/a.txt");
    EXPECT_EQ(joinRemotePath("t/", "sub"), "t/sub");
}

}  // namespace
}  // namespace dorvan
