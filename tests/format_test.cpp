#include <gtest/gtest.h>

#include "settings/format.h"

using dorvan::format;

TEST(Format, PlaceholdersIndexesPaddingAndDecimals) {
    EXPECT_EQ(format("{} {} {}", "a", 2, 'c'), "a 2 c");
    EXPECT_EQ(format("{1}-{0}-{}", "x", "y"), "y-x-y");
    EXPECT_EQ(format(" {0,-12}: {}\r\n", "port", "21"), " port        : 21\r\n");
    EXPECT_EQ(format("{0,-3}|", "abcdef"), "abcdef|");
    EXPECT_EQ(format(", {0:f2} KB", 513.0 / 1024), ", 0.50 KB");
    EXPECT_EQ(format("{0:f2}", 1.0), "1.00");
    EXPECT_EQ(format("{} and {}", "only"), "only and {}");
    EXPECT_EQ(format("no placeholders"), "no placeholders");
}
