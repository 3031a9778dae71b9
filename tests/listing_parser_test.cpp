#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_lib.h"
#include "ftp/listing_parser.h"
#include "support/utc.h"

using dorvan::ListingReport;
using dorvan::parseListing;

namespace {

using dorvan::test::utc;

const int64_t now = utc(2024, 3, 5, 12);
constexpr int64_t unknown = -1;
constexpr int64_t saturated = std::numeric_limits<int64_t>::max();

struct Parsed {
    bool recognised = false;
    ListingReport report;
    std::string name;
    std::string id;
};

// Parses from a heap buffer of exactly the line's size, so that a read past its end is caught by
// AddressSanitizer, and checks that the line was left alone and the reported ranges lie inside it.
Parsed parse(std::string_view line, int64_t nowSeconds = now) {
    const std::unique_ptr<char[]> buffer(new char[line.size()]);
    std::memcpy(buffer.get(), line.data(), line.size());
    Parsed parsed;
    parsed.recognised = parseListing(parsed.report, buffer.get(), line.size(), nowSeconds);
    EXPECT_EQ(std::memcmp(buffer.get(), line.data(), line.size()), 0);
    const ListingReport& r = parsed.report;
    EXPECT_TRUE(r.name >= 0 && r.nameLength >= 0 && size_t(r.name) + size_t(r.nameLength) <= line.size());
    EXPECT_TRUE(r.id >= 0 && r.idLength >= 0 && size_t(r.id) + size_t(r.idLength) <= line.size());
    if (parsed.recognised) {
        EXPECT_GT(r.nameLength, 0);
        parsed.name = line.substr(r.name, r.nameLength);
        parsed.id = line.substr(r.id, r.idLength);
    }
    return parsed;
}

struct Case {
    std::string_view line;
    const char* name;  // nullptr: not recognised
    int32_t folder = 0;
    int32_t retrieval = 0;
    int64_t size = unknown;
    int32_t timeKind = 0;
    int64_t time = 0;
};

void expectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line));
        const Parsed p = parse(c.line);
        ASSERT_EQ(p.recognised, c.name != nullptr);
        if (!c.name) continue;
        EXPECT_EQ(p.name, c.name);
        EXPECT_EQ(p.report.folder, c.folder);
        EXPECT_EQ(p.report.retrieval, c.retrieval);
        EXPECT_EQ(p.report.sizeKind, c.size == unknown ? 0 : 1);
        EXPECT_EQ(p.report.size, c.size == unknown ? 0 : c.size);
        EXPECT_EQ(p.report.timeKind, c.timeKind);
        EXPECT_EQ(p.report.time, c.timeKind == 0 ? 0 : c.time);
    }
}

const std::vector<Case> documentedExamples = {
    {"+i1234.5678,m1000000000,r,s280,\tpage.html", "page.html", 0, 1, 280, 1, 1000000000},
    {"drwxr-xr-x 2 u g 512 May 10 1996 pub", "pub", 1, 0, 512, 3, utc(1996, 5, 10)},
    {"lrwxrwxrwx 1 u g 7 Jan 25 00:17 bin -> usr/bin", "bin", 1, 1, 7, 2, utc(2024, 1, 25, 0, 17)},
    {"04-27-00  09:09PM       <DIR>          docs", "docs", 1, 0, unknown, 2, utc(2000, 4, 27, 21, 9)},
    {"12-31-99  12:05AM                  589 notes.htm", "notes.htm", 0, 1, 589, 2, utc(1999, 12, 31, 0, 5)},
    {"DATA.DIR;1      1  8-SEP-1996 16:09 [SYSTEM] (RWE,RWE,RE,RE)", "DATA", 1, 0, unknown, 2, utc(1996, 9, 8, 16, 9)},
    {"total 12", nullptr},
    {"", nullptr},
};

const std::vector<Case> serverLines = {
    {"drwxr-xr-x   2 owner    group        4096 Mar 05 09:07 sub dir", "sub dir", 1, 0, 4096, 2, utc(2024, 3, 5, 9, 7)},
    {"-rw-r--r--   1 owner    group    5368709120 Jan 01  2020 big.bin", "big.bin", 0, 1, 5368709120, 3,
     utc(2020, 1, 1)},
    {"lrwxrwxrwx   1 owner    group           7 Jan 25 00:17 bin -> usr/bin", "bin", 1, 1, 7, 2,
     utc(2024, 1, 25, 0, 17)},
    {"lrwxrwxrwx   1 owner    group          12 Mar 05 09:07 my link -> a -> b", "my link", 1, 1, 12, 2,
     utc(2024, 3, 5, 9, 7)},
    {"-rw-r--r--    1 1000     1000         1234 Mar 05 09:07 Gr\xC3\xBC\xC3\x9F"
     "e \xC3\xBC"
     "ber.txt",
     "Gr\xC3\xBC\xC3\x9F"
     "e \xC3\xBC"
     "ber.txt",
     0, 1, 1234, 2, utc(2024, 3, 5, 9, 7)},
    {"-rw-r--r--   1 ftp      ftp           120 Dec  9  2023  leading blank.txt", " leading blank.txt", 0, 1, 120, 3,
     utc(2023, 12, 9)},
    {"drwxr-xr-x    3 1000       1000             4096 Dec 31 23:59 .", ".", 1, 0, 4096, 2, utc(2023, 12, 31, 23, 59)},
    {"-rw-r--r--    1 1000       1000               0 mar  5 9:07 lower.txt", "lower.txt", 0, 1, 0, 2,
     utc(2024, 3, 5, 9, 7)},
    {"crw-rw-rw-   1 root     root       1,   3 Mar 05 09:07 null", "null", 0, 0, 3, 2, utc(2024, 3, 5, 9, 7)},
    {"drwxrwxrwx               folder        2 May 10  1996 network", "network", 1, 0, 2, 3, utc(1996, 5, 10)},
    {"d [R----F--] supervisor            512       Jan 16 18:53    login", "login", 1, 0, 512, 2,
     utc(2024, 1, 16, 18, 53)},
    {"-[R----F--] 1 rhesus             214059       Oct 20 15:27    cx.exe", "cx.exe", 0, 1, 214059, 2,
     utc(2023, 10, 20, 15, 27)},
    {"+/,m824255907,\t514", "514", 1, 0, unknown, 1, 824255907},
    {"+r,s10\tunended size", "unended size", 0, 1},
    {"CII-MANUAL.TEX;1  213/216  29-JAN-1996 03:33:12  [ANONYMOU,ANONYMOUS]   (RWED,RWED,,)", "CII-MANUAL.TEX", 0, 1,
     unknown, 2, utc(1996, 1, 29, 3, 33)},
    {"03-05-2024  21:09       1234 twenty four hours.txt", "twenty four hours.txt", 0, 1, 1234, 2,
     utc(2024, 3, 5, 21, 9)},
};

TEST(ListingParser, DocumentedExamples) {
    expectCases(documentedExamples);
    const Parsed eplf = parse(documentedExamples[0].line);
    EXPECT_EQ(eplf.report.idKind, 1);
    EXPECT_EQ(eplf.id, "1234.5678");
}

TEST(ListingParser, LinesAsServersSendThem) { expectCases(serverLines); }

// The style of a line and the server's system type decide whether "\" separates folders in a name.
TEST(ListingParser, StyleLinksAndSeparatorsOfRecords) {
    struct Record {
        const char* line;
        const char* system;
        bool backslashSeparates;
        bool symlink;
    };
    const Record cases[] = {
        {"-rw-r--r-- 1 u g 5 Jan 01 2020 old\\a.bak", "UNIX", false, false},
        {"-rw-r--r-- 1 u g 5 Jan 01 2020 old\\a.bak", "Windows_NT", true, false},
        {"01-01-20  12:00PM                    5 old\\a.bak", "UNIX", true, false},
        {"01-01-20  12:00PM                    5 old\\a.bak", "", true, false},
        {"+r,s10\told\\a.bak", "UNIX", false, false},
        {"lrwxrwxrwx 1 u g 7 Jan 25 00:17 bin -> usr/bin", "UNIX", false, true},
    };
    for (const Record& c : cases) {
        const dorvan::FtpFileInfo info = dorvan::parseLine(c.line, c.system);
        EXPECT_EQ(info.backslashSeparates, c.backslashSeparates) << c.line << " " << c.system;
        EXPECT_EQ(info.symlink, c.symlink) << c.line;
    }
}

TEST(ListingParser, OddAndMalformedLines) {
    expectCases({
        {".DIR;1  1  8-SEP-1996 16:09", ".DIR", 0, 1, unknown, 2, utc(1996, 9, 8, 16, 9)},
        {"x", nullptr},
        {"d", nullptr},
        {"+r,s10,no tab", nullptr},
        {"+r,\t", nullptr},
        {"-rw-r--r-- 1 u g 10 Jan 01 2020", nullptr},
        {"-rw-r--r-- 1 u g 10 Jan 01 2020 ", nullptr},
        {"-rw-r--r-- 1 u g 10 05 Mar 09:07 name", nullptr},
        {"-rw-r--r-- 1 u g 10 Jan 01 9:7 x", nullptr},
        {"-rw-r--r-- 1 u g 10 Jan 01 20x0 x", nullptr},
        {"-rw-r--r-- 1 u g 10 Jan 01 0a:07 x", nullptr},
        {"drwxr-xr-x 2 u g 4096 Xyz 01 2020 x", nullptr},
        {"lrwxrwxrwx 1 u g 7 Jan 25 00:17  -> target", nullptr},
        {"d [R----F--] supervisor 512 Jan 16 18:53    ", nullptr},
        {"DATA.DIR;1      1  8-SEP-1996", nullptr},
        {"DATA.DIR;1      1  8-SPE-1996 16:09", nullptr},
        {"DATA.DIR;1      1  8-SEP-1996-2 16:09", nullptr},
        {"04-27-00  09:09PM", nullptr},
        {"04-27-00  09:09PM       <DIR>   ", nullptr},
        {"04-27-00  09:09XM       <DIR>   docs", nullptr},
        {"04/27/00  09:09PM       <DIR>   docs", nullptr},
        {"ftp> ls", nullptr},
    });
}

TEST(ListingParser, HugeNumbersSaturateAndImpossibleDatesLeaveTheTimeUnknown) {
    expectCases({
        {"-rw-r--r-- 1 u g 99999999999999999999999 Jan 01 2020 f", "f", 0, 1, saturated, 3, utc(2020, 1, 1)},
        {"-rw-r--r-- 1 u g 9223372036854775807 Jan 01 2020 f", "f", 0, 1, saturated, 3, utc(2020, 1, 1)},
        {"-rw-r--r-- 1 u g 9223372036854775808 Jan 01 2020 f", "f", 0, 1, saturated, 3, utc(2020, 1, 1)},
        {"-rw-r--r-- 1 u group Jan 01 2020 no size", "no size", 0, 1, unknown, 3, utc(2020, 1, 1)},
        {"+m99999999999999999999,s18446744073709551616,r,\tf", "f", 0, 1, saturated, 0},
        {"+m253402300800,r,\tafter 9999", "after 9999", 0, 1, unknown, 0},
        {"+m253402300799,r,\tlast second", "last second", 0, 1, unknown, 1, 253402300799},
        {"-rw-r--r-- 1 u g 1 Jan 45 2020 day 45", "day 45", 0, 1, 1, 0},
        {"-rw-r--r-- 1 u g 1 Jan 01 0000 year 0", "year 0", 0, 1, 1, 0},
        {"-rw-r--r-- 1 u g 1 Jan 01 99999999999999999999 far", "far", 0, 1, 1, 0},
        {"-rw-r--r-- 1 u g 1 Jan 99999999999999999999 12:00 far", "far", 0, 1, 1, 0},
        {"-rw-r--r-- 1 u g 1 Jan 01 24:00 hour 24", "hour 24", 0, 1, 1, 0},
        {"13-05-24  09:09AM   10 month 13", "month 13", 0, 1, 10, 0},
        {"04-27-00  13:09PM   10 hour 25", "hour 25", 0, 1, 10, 0},
        {"04-27-00  09:09PM   1,234 grouped", "grouped", 0, 1, unknown, 2, utc(2000, 4, 27, 21, 9)},
        {"X.TXT;1 1 99999999999999999999-JAN-1996 16:09", "X.TXT", 0, 1, unknown, 0},
    });
}

TEST(ListingParser, YearGuessTurnsAt350DaysBeforeNow) {
    struct YearCase {
        const char* date;
        int64_t nowSeconds;
        int year;
    };
    const YearCase cases[] = {
        {"Mar 21", utc(2024, 3, 5) - 1, 2023},  // 2023-03-21 is 350 days before 2024-03-05
        {"Mar 21", utc(2024, 3, 5), 2024},     {"Mar 06", utc(2024, 3, 5, 12), 2024},  // tomorrow
        {"Feb 29", utc(2024, 3, 5, 12), 2024}, {"Dec 31", utc(2024, 1, 2, 12), 2023},
        {"Jul 01", utc(2024, 1, 2, 12), 2023}, {"Jan 03", utc(2024, 1, 2, 12), 2024},
        {"Jan 01", utc(2000, 1, 1), 2000},
    };
    for (const YearCase& c : cases) {
        const std::string line = std::string("-rw-r--r-- 1 u g 1 ") + c.date + " 10:30 f";
        SCOPED_TRACE(line + " now " + std::to_string(c.nowSeconds));
        const Parsed p = parse(line, c.nowSeconds);
        ASSERT_TRUE(p.recognised);
        EXPECT_EQ(p.report.timeKind, 2);
        const size_t month = std::string_view("JanFebMarAprMayJunJulAugSepOctNovDec").find({c.date, 3}) / 3 + 1;
        EXPECT_EQ(p.report.time, utc(c.year, int(month), std::atoi(c.date + 4), 10, 30));
    }
    // The clock overload places a date within the coming year at most.
    ListingReport report;
    const std::string_view line = "-rw-r--r-- 1 u g 1 Mar 05 10:30 f";
    ASSERT_TRUE(parseListing(report, line.data(), line.size()));
    const int64_t clock = static_cast<int64_t>(std::time(nullptr));
    EXPECT_GT(report.time, clock - 350 * 86400 - 86400);
    EXPECT_LT(report.time, clock + 366 * 86400);
}

TEST(ListingParser, EveryPrefixOfAValidLineStaysInsideIt) {
    for (const auto* table : {&documentedExamples, &serverLines}) {
        for (const Case& c : *table) {
            for (size_t length = 0; length < c.line.size(); ++length) {
                SCOPED_TRACE(std::string(c.line.substr(0, length)));
                parse(c.line.substr(0, length));
            }
        }
    }
}

TEST(ListingParser, RandomBytesStayInsideTheLine) {
    std::mt19937 random(20240305);
    const std::string_view seeds[] = {documentedExamples[0].line, documentedExamples[1].line,
                                      documentedExamples[3].line, documentedExamples[5].line, serverLines[10].line};
    const std::string_view alphabet = " \t;:-+<>,/0123456789JanDECrimsd[]\xC3\xFF";
    for (int round = 0; round < 20000; ++round) {
        std::string line(seeds[round % std::size(seeds)]);
        const auto mutations = static_cast<int>(1 + random() % 6);
        for (int i = 0; i < mutations; ++i) {
            const size_t at = random() % line.size();
            line[at] = (random() % 4 == 0) ? char(random()) : alphabet[random() % alphabet.size()];
        }
        line.resize(random() % (line.size() + 1));
        parse(line, static_cast<int64_t>(random()) * 1000003 - 1000000000000000);
    }
}

}  // namespace
