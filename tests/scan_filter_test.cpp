// Wildcard matching, pattern splitting and the inclusive bounds of the filter set.
#include <gtest/gtest.h>

#include <chrono>

#include "ftp/ftp_file_info.h"
#include "scan/scan_filter.h"
#include "scan/wildcard.h"

using namespace dorvan;

TEST(Wildcard, MatchesTheWholeNameByTheBacktrackingRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"*.txt", "a.TXT", true},
        {"*.TXT", "sub/b.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"a*", "a", true},
        {"a**", "a", false},
        {"a**", "ab", true},
        {"*", "", true},
        {"**", "", false},
        {"", "", true},
        {"", "a", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"[ab]x", "bx", true},
        {"[!ab]x", "bx", false},
        {"[!ab]x", "cx", true},
        {"[a-c]", "b", false},
        {"[a-c]", "-", true},
        {"*/private/*", "x/private/y.txt", true},
        {"*/private/*", "private/y.txt", false},
        {"  *.mp3\t", "b.mp3", true},
        {"a[b", "a[b", true},
        {"a[", "ab", false},
        {"x*y*z", "xAyBz", true},
        {"*b", "b", true},
        {"é*", "é.txt", true},
        {"a\\b", "a\\b", true},
    };
    for (const Case& c : cases) EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

TEST(Wildcard, HostilePatternsAnswerQuickly) {
    const std::string name(5000, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*", name));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(Wildcard, SplitsAtEveryBarKeepingEmptyPieces) {
    EXPECT_EQ(splitPatterns("a||b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(splitPatterns("*.txt"), (std::vector<std::string>{"*.txt"}));
    EXPECT_EQ(splitPatterns("|"), (std::vector<std::string>{"", ""}));
}

TEST(ScanFilter, BoundsAreInclusiveAndUnknownValuesPass) {
    constexpr int64_t minute = 600'000'000;
    ScanFilter f;
    f.now = 1000 * minute;
    f.maxSize = 15360;
    f.modified.max = 15 * minute;
    auto file = [](uint64_t size, int64_t modify) {
        FtpFileInfo info;
        info.name = "a.txt";
        info.type = FtpFileType::file;
        info.size = size;
        info.modify = modify;
        return info;
    };
    EXPECT_TRUE(accept(f, file(15360, 985 * minute)));
    EXPECT_FALSE(accept(f, file(15361, 985 * minute)));
    EXPECT_FALSE(accept(f, file(10, 985 * minute - 1)));
    EXPECT_TRUE(accept(f, file(unknownSize, unknownTime)));
    // A deleting scan sets an undated file aside only when an age bound asks for a date.
    EXPECT_FALSE(f.failsUndated(file(10, unknownTime)));
    f.undatedFails = true;
    EXPECT_TRUE(f.failsUndated(file(10, unknownTime)));
    EXPECT_FALSE(f.failsUndated(file(10, 985 * minute)));
    f.modified.max = unsetBound;
    EXPECT_FALSE(f.failsUndated(file(10, unknownTime)));
    f = ScanFilter{};
    f.minSize = 15360;
    f.now = 1000 * minute;
    f.modified.min = 60 * minute;
    EXPECT_TRUE(accept(f, file(15360, 940 * minute)));
    EXPECT_FALSE(accept(f, file(15359, 940 * minute)));
    EXPECT_FALSE(accept(f, file(20000, 941 * minute)));
    f.include = {"*.doc"};
    EXPECT_FALSE(accept(f, file(20000, 0)));
    f.include = {"*.TXT"};
    f.exclude = {"a*"};
    EXPECT_FALSE(accept(f, file(20000, 0)));
    // Caps compare signed: 0 or below stops before the first entry.
    auto caps = [](int64_t maxFiles, int64_t maxFolders) {
        ScanFilter capped;
        capped.maxFiles = maxFiles;
        capped.maxFolders = maxFolders;
        return capped;
    };
    EXPECT_TRUE(caps(0, unsetBound).capReached(0, 0));
    EXPECT_TRUE(caps(unsetBound, -1).capReached(0, 0));
    EXPECT_FALSE(caps(2, unsetBound).capReached(1, 100));
    EXPECT_TRUE(caps(2, unsetBound).capReached(2, 0));
    EXPECT_TRUE(caps(unsetBound, 1).capReached(0, 1));
}

// A listed time known to a minute or a day stands for that whole minute or day:
// the bounds are taken at the same precision.
TEST(ScanFilter, AgeBoundsTakeListedTimesAtTheirPrecision) {
    constexpr int64_t second = 10'000'000, minute = 60 * second;
    AgeBounds newer{.max = 15 * minute}, older{.min = 60 * minute};
    const int64_t now = 1000 * minute + 30 * second;
    EXPECT_TRUE(newer.accepts(now, 985 * minute, minute));  // 14:30 to 15:30 old
    EXPECT_FALSE(newer.accepts(now, 984 * minute, minute));
    EXPECT_FALSE(newer.accepts(now, 985 * minute, 1));  // exactly 15:30 old
    EXPECT_TRUE(newer.accepts(now, 985 * minute + 30 * second, second));
    EXPECT_TRUE(older.accepts(now, 940 * minute, minute));  // 59:30 to 60:30 old
    EXPECT_FALSE(older.accepts(now, 941 * minute, minute));
}
