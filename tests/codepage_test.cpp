#include <gtest/gtest.h>

#include "platform/codepage.h"

using dorvan::platform::codePageToUtf8;
using dorvan::platform::utf8ToCodePage;

TEST(CodePage, BothDirectionsReplaceWhatDoesNotFit) {
    struct Case {
        unsigned codePage;
        std::string utf8;
        std::string bytes;
    } cases[] = {
        {1252, "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
        {866, "\xD0\x96", "\x86"},
        {1200, "a\xC3\xA4", std::string("a\0\xE4\0", 4)},
        {65001, "\xC3\xA4", "\xC3\xA4"},
    };
    for (const Case& c : cases) {
        std::string out, error;
        ASSERT_TRUE(utf8ToCodePage(c.utf8, c.codePage, &out, &error)) << error;
        EXPECT_EQ(out, c.bytes) << c.codePage;
        ASSERT_TRUE(codePageToUtf8(c.bytes, c.codePage, &out, &error)) << error;
        EXPECT_EQ(out, c.utf8) << c.codePage;
    }

    std::string out, error;
    ASSERT_TRUE(utf8ToCodePage("\xE6\x97\xA5x", 1252, &out, &error));  // not in the target
    EXPECT_EQ(out, "?x");
    size_t replaced = 0;
    ASSERT_TRUE(codePageToUtf8("a\xFF", 65001, &out, &error, &replaced));  // not a UTF-8 byte
    EXPECT_EQ(out, "a\xEF\xBF\xBD");
    EXPECT_EQ(replaced, 1u);

    EXPECT_FALSE(utf8ToCodePage("x", 99, &out, &error));
    EXPECT_EQ(error, "CodePage.convert :: no mapping for code page 99");
    EXPECT_FALSE(codePageToUtf8("x", 99, &out, &error));
    EXPECT_EQ(error, "CodePage.convert :: no mapping for code page 99");
}
