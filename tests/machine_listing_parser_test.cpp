// MLSD lines, the time values of facts, MDTM and MFMT, and FEAT replies.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/ftp_lib.h"
#include "ftp/ftp_time.h"
#include "ftp/machine_listing_parser.h"
#include "ftp/server_features.h"
#include "support/utc.h"

using namespace dorvan;

namespace {

using dorvan::test::utc;

constexpr int64_t none = -1;

struct Case {
    std::string_view line;
    const char* name;  // nullptr: no entry
    int32_t folder = 0;
    int32_t retrieval = 0;
    int64_t size = none;
    int64_t time = none;
};

}  // namespace

TEST(MachineListingParser, FactsInAnyOrderAndCaseNamesExactlyAsSent) {
    const int64_t march5 = utc(2024, 3, 5, 9, 7, 2);
    const Case cases[] = {
        {"type=file;size=1024;modify=20240305090702;perm=r; notes.txt", "notes.txt", 0, 1, 1024, march5},
        {"Modify=20240305090702.123;SIZE=4096;Type=DIR; sub dir", "sub dir", 1, 0, 4096, march5},
        {"UNIX.mode=0644;TYPE=File;modify=19991231235959; a;b; c=d.txt", "a;b; c=d.txt", 0, 1, none,
         utc(1999, 12, 31, 23, 59, 59)},
        {"type=file;  two blanks", " two blanks", 0, 1},
        {"type=file;size=5; Gr\xC3\xBC\xC3\x9F"
         "e \xC3\xBC"
         "ber.txt",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xC3\xBC"
         "ber.txt",
         0, 1, 5},
        {" no facts at all", "no facts at all"},
        {"perm=r;;=x;novalue;size=3; odd facts", "odd facts", 0, 0, 3},
        // Links as a LIST line shows them; other special entries are neither.
        {"type=OS.unix=slink:/etc/passwd;size=11; pw", "pw", 1, 1, 11},
        {"type=os.UNIX=symlink; lnk", "lnk", 1, 1},
        {"type=OS.unix=blkdev; sda", "sda"},
        {"type=unheard; what", "what"},
        // Values that cannot be read leave the fact unknown.
        {"type=file;size=99999999999999999999999; huge", "huge", 0, 1, INT64_MAX},
        {"type=file;size=-1;modify=x; negative", "negative", 0, 1},
        {"type=file;modify=20240230120000; no such day", "no such day", 0, 1},
        {"type=file;modify=2024030509070; short", "short", 0, 1},
        {"type=file;modify=20240305090702.; dot", "dot", 0, 1},
        {"type=file;modify=00000101000000; year 0", "year 0", 0, 1},
        {"type=file;modify=20240305090760; leap second", "leap second", 0, 1, none, utc(2024, 3, 5, 9, 8, 0)},
        // No entries: the folder itself, its parent, no name.
        {"type=cdir;modify=20240305090702; /home/me", nullptr},
        {"TYPE=pdir; ..", nullptr},
        {"type=file;size=12", nullptr},
        {"type=file; ", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line));
        // From a heap buffer of exactly the line's size: a read past its end fails under the sanitizer.
        const std::unique_ptr<char[]> buffer(new char[c.line.size()]);
        std::memcpy(buffer.get(), c.line.data(), c.line.size());
        ListingReport r;
        ASSERT_EQ(parseMachineListing(r, buffer.get(), c.line.size()), c.name != nullptr);
        if (!c.name) continue;
        EXPECT_EQ(std::string_view(buffer.get() + r.name, static_cast<size_t>(r.nameLength)), c.name);
        EXPECT_EQ(r.folder, c.folder);
        EXPECT_EQ(r.retrieval, c.retrieval);
        EXPECT_EQ(r.sizeKind == 1 ? r.size : none, c.size);
        EXPECT_EQ(r.timeKind == 1 ? r.time : none, c.time);
    }
    ListingReport unique;
    const std::string_view line = "type=file;unique=801U1A; u.txt";
    ASSERT_TRUE(parseMachineListing(unique, line.data(), line.size()));
    EXPECT_EQ(line.substr(static_cast<size_t>(unique.id), static_cast<size_t>(unique.idLength)), "801U1A");

    // As a record: an exact time; skipped entries give no name.
    FtpFileInfo info = parseMachineLine("type=file;size=3;modify=20240305090702; a.txt");
    EXPECT_EQ(info.type, FtpFileType::file);
    EXPECT_EQ(info.modify, 621'355'968'000'000'000 + march5 * 10'000'000);
    EXPECT_EQ(info.modifyPrecision, 10'000'000);
    EXPECT_EQ(parseMachineLine("type=OS.unix=symlink; l").type, FtpFileType::unknown);
    EXPECT_TRUE(parseMachineLine("type=OS.unix=symlink; l").symlink);
    EXPECT_EQ(parseMachineLine("type=pdir; ..").name, "");
}

TEST(TimeValues, ReadAndWrittenInUtcWithinTheYears1To9999) {
    const std::pair<int64_t, const char*> values[] = {
        {0, "19700101000000"},
        {-1, "19691231235959"},
        {utc(2024, 2, 29, 23, 59, 59), "20240229235959"},
        {earliestTime, "00010101000000"},
        {latestTime, "99991231235959"},
    };
    for (auto [seconds, text] : values) {
        EXPECT_EQ(timeValueText(seconds), text);
        EXPECT_EQ(parseTimeValue(text), seconds) << text;
    }
    EXPECT_EQ(timeValueText(latestTime + 1), "");
    EXPECT_EQ(timeValueText(earliestTime - 1), "");
    for (const char* bad : {"", "2024030509070a", "20230229000000", "20240305240000", "99991231235960", "x"})
        EXPECT_FALSE(parseTimeValue(bad)) << bad;
}

TEST(ServerFeatures, ReadFromTheLinesBetweenTheFirstAndTheLast) {
    ServerFeatures offered =
        parseFeatures({"211-Features:", " MDTM", " MLST type*;size*;modify*;", " mfmt", " Rest Stream", "211 End"});
    EXPECT_TRUE(offered.listsFacts && offered.setsTimes && offered.restartsStreams);
    ServerFeatures mlsdOnly = parseFeatures({"211-Extensions supported:", "MLSD", " SIZE", " REST", "211 END"});
    EXPECT_TRUE(mlsdOnly.listsFacts && !mlsdOnly.setsTimes && !mlsdOnly.restartsStreams);
    for (const std::vector<std::string>& lines : {std::vector<std::string>{"500 FEAT not understood."},
                                                  {"211-MLST named on the first line", " EPSV", "211 MFMT too"}}) {
        ServerFeatures refused = parseFeatures(lines);
        EXPECT_FALSE(refused.listsFacts || refused.setsTimes);
    }
}
