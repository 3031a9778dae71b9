#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/paths.h"
#include "support/files.h"
#include "support/shell_command.h"
#include "zip/zip_writer.h"

namespace dorvan {
namespace {

namespace fs = std::filesystem;

using test::commandOutput;
using test::shellQuoted;

// Checks with two independent readers: unzip's own test and Python's zipfile
// (member order and names, content, UTF-8 flag, time stamp within the DOS 2 s).
constexpr const char* pythonCheck = R"(
import os, sys, time, zipfile
pairs = list(zip(sys.argv[2::2], sys.argv[3::2]))
problems = []
with zipfile.ZipFile(sys.argv[1]) as z:
    if z.testzip() is not None: problems.append('bad member ' + z.testzip())
    if z.namelist() != [n for n, _ in pairs]: problems.append('names %r' % z.namelist())
    for name, src in pairs:
        info = z.getinfo(name)
        if z.read(name) != open(src, 'rb').read(): problems.append(name + ': content differs')
        if info.compress_type != 8: problems.append(name + ': not deflated')
        if bool(info.flag_bits & 0x800) != any(ord(c) > 127 for c in name): problems.append(name + ': utf-8 flag')
        stamp = time.mktime(info.date_time + (0, 0, -1))
        if not 0 <= os.stat(src).st_mtime - stamp < 2: problems.append(name + ': time %r' % (info.date_time,))
print('\n'.join(problems) or 'ok')
)";

std::string checkArchive(const std::string& archive, const std::vector<std::pair<std::string, std::string>>& members) {
    if (std::system(("unzip -tq " + shellQuoted(archive) + " >/dev/null 2>&1").c_str()) != 0) {
        return "unzip -t: " + commandOutput("unzip -t " + shellQuoted(archive));
    }
    std::string command = "/usr/bin/python3 -c " + shellQuoted(pythonCheck) + " " + shellQuoted(archive);
    for (const auto& [name, source] : members) command += " " + shellQuoted(name) + " " + shellQuoted(source);
    std::string out = commandOutput(command);
    return out == "ok\n" ? "ok" : out;
}

uint64_t le(const std::string& bytes, size_t at, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

// Packs (entry name, source path) pairs in order; any failure fails the test.
void writeArchive(const std::string& archive, const std::vector<std::pair<std::string, std::string>>& members,
                  ZipLimits limits) {
    ZipWriter writer(limits);
    std::string err;
    ASSERT_TRUE(writer.open(archive, &err)) << err;
    for (const auto& [name, source] : members) ASSERT_TRUE(writer.addFile(source, name, &err)) << err;
    ASSERT_TRUE(writer.finish(&err)) << err;
}

using test::randomBytes;

std::time_t localSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm when{};
    when.tm_year = year - 1900, when.tm_mon = month - 1, when.tm_mday = day;
    when.tm_hour = hour, when.tm_min = minute, when.tm_sec = second, when.tm_isdst = -1;
    return std::mktime(&when);
}

class ZipWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zipwriterXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& content, std::time_t mtime = 0) {
        std::string path = dir + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        if (mtime)
            fs::last_write_time(path,
                                fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(mtime)));
        return path;
    }

    std::string readAll(const std::string& path) {
        std::string content, err;
        EXPECT_TRUE(platform::readWholeFile(path, content, &err)) << err;
        return content;
    }

    std::string dir;
};

TEST_F(ZipWriterTest, StreamsMembersThatStandardReadersAccept) {
    std::string text;
    while (text.size() < 700'000) text += "line " + std::to_string(text.size()) + " of compressible text\n";
    std::vector<std::pair<std::string, std::string>> members = {
        {"docs/text.txt", file("text.txt", text, localSeconds(2019, 3, 4, 5, 6, 7))},  // spans several stream chunks
        {"empty.bin", file("empty.bin", "")},
        {"random.bin", file("random.bin", randomBytes(300'000, 1))},
        {"caf\xc3\xa9/na\xc3\xafve.txt", file("naive.txt", "accented")},
        {"back\\slash.txt", file("backslash.txt", "kept as a name character")},
    };
    std::string archive = dir + "/out.zip";
    writeArchive(archive, members, ZipLimits{});
    EXPECT_EQ(checkArchive(archive, members), "ok");

    // Classic layout: no ZIP64 anywhere, the local header patched with the real sizes.
    std::string bytes = readAll(archive);
    EXPECT_EQ(le(bytes, 0, 4), 0x04034b50u);
    EXPECT_EQ(le(bytes, 4, 2), 20u);
    EXPECT_EQ(le(bytes, 22, 4), text.size());
    EXPECT_EQ(le(bytes, 28, 2), 0u);  // no extra field
    EXPECT_EQ(le(bytes, 10, 2), (5u << 11) | (6u << 5) | 3u);
    EXPECT_EQ(le(bytes, 12, 2), (39u << 9) | (3u << 5) | 4u);
    EXPECT_EQ(le(bytes, bytes.size() - 22, 4), 0x06054b50u);
    EXPECT_EQ(le(bytes, bytes.size() - 10, 4) + le(bytes, bytes.size() - 6, 4), bytes.size() - 22);

    // Blocks of 1,000 bytes: members of many blocks deflated apart, one ending
    // exactly at a block's end, one from a FIFO (no size up front, so every
    // full block reads a byte ahead to learn whether the data ended).
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string streamed = text.substr(0, 5'500);
    std::thread feeder([&] { std::ofstream(fifo, std::ios::binary) << streamed; });
    members.push_back({"exact.txt", file("exact.txt", text.substr(0, 7'000))});
    ZipWriter writer(ZipLimits{.blockBytes = 1'000});
    std::string err;
    ASSERT_TRUE(writer.open(dir + "/blocks.zip", &err)) << err;
    for (const auto& [name, source] : members) ASSERT_TRUE(writer.addFile(source, name, &err)) << err;
    ASSERT_TRUE(writer.addFile(fifo, "fifo.txt", &err)) << err;
    feeder.join();
    ASSERT_TRUE(writer.finish(&err)) << err;
    members.push_back({"fifo.txt", file("fifo-copy.txt", streamed)});
    EXPECT_EQ(checkArchive(dir + "/blocks.zip", members), "ok");
}

TEST_F(ZipWriterTest, UsesZip64RecordsForValuesPastTheLimits) {
    std::vector<std::pair<std::string, std::string>> members = {
        {"big.bin", file("big.bin", randomBytes(5000, 2))},  // sizes past the 32-bit limit
        {"late.txt", file("late.txt", "offset past the limit")},
        {"c.txt", file("c.txt", "c")},
        {"d.txt", file("d.txt", "d")},  // 4 members: count past the 16-bit limit
    };
    std::string archive = dir + "/small64.zip";
    writeArchive(archive, members, ZipLimits{.field32 = 1000, .field16 = 3});
    EXPECT_EQ(checkArchive(archive, members), "ok");

    std::string bytes = readAll(archive);
    // First local header: version 45, marker sizes, ZIP64 extra with the real sizes.
    EXPECT_EQ(le(bytes, 4, 2), 45u);
    EXPECT_EQ(le(bytes, 18, 4), 0xFFFFFFFFu);
    EXPECT_EQ(le(bytes, 22, 4), 0xFFFFFFFFu);
    EXPECT_EQ(le(bytes, 28, 2), 20u);
    size_t extra = 30 + 7;
    EXPECT_EQ(le(bytes, extra, 2), 1u);
    EXPECT_EQ(le(bytes, extra + 4, 8), 5000u);
    uint64_t compressed = le(bytes, extra + 12, 8);
    // Second local header sits past the limit but its own fields are small.
    size_t second = extra + 20 + compressed;
    EXPECT_EQ(le(bytes, second, 4), 0x04034b50u);
    EXPECT_EQ(le(bytes, second + 4, 2), 20u);
    EXPECT_EQ(le(bytes, second + 28, 2), 0u);

    // End record markers, then the locator and the ZIP64 end record.
    size_t end = bytes.size() - 22;
    EXPECT_EQ(le(bytes, end + 10, 2), 0xFFFFu);
    EXPECT_EQ(le(bytes, end + 16, 4), 0xFFFFFFFFu);
    size_t locator = end - 20;
    ASSERT_EQ(le(bytes, locator, 4), 0x07064b50u);
    size_t end64 = le(bytes, locator + 8, 8);
    ASSERT_EQ(le(bytes, end64, 4), 0x06064b50u);
    EXPECT_EQ(le(bytes, end64 + 32, 8), 4u);
    size_t central = le(bytes, end64 + 48, 8);
    // Central entries: the first carries both sizes, the second only its offset.
    EXPECT_EQ(le(bytes, central + 6, 2), 45u);
    EXPECT_EQ(le(bytes, central + 30, 2), 20u);
    EXPECT_EQ(le(bytes, central + 42, 4), 0u);
    size_t next = central + 46 + 7 + 20;
    EXPECT_EQ(le(bytes, next + 6, 2), 45u);
    EXPECT_EQ(le(bytes, next + 30, 2), 12u);
    EXPECT_EQ(le(bytes, next + 42, 4), 0xFFFFFFFFu);
    EXPECT_EQ(le(bytes, next + 46 + 8 + 4, 8), second);
}

TEST_F(ZipWriterTest, ReportsUnreadableSourcesAndUnwritableArchives) {
    std::string plain = file("plain.txt", "x");
    ZipWriter writer;
    std::string err;
    EXPECT_FALSE(writer.open(plain + "/a.zip", &err));
    EXPECT_EQ(err, plain + "/a.zip: Not a directory");

    ASSERT_TRUE(writer.open(dir + "/a.zip", &err)) << err;
    EXPECT_FALSE(writer.addFile(dir + "/missing.txt", "m", &err));
    EXPECT_EQ(err, dir + "/missing.txt: No such file or directory");
    EXPECT_FALSE(writer.addFile(dir, "d", &err));
    EXPECT_EQ(err, dir + ": Is a directory");
}

TEST_F(ZipWriterTest, RefusesAStreamThatOutgrowsItsClassicHeader) {
    // A FIFO has no size up front, so no ZIP64 record is reserved for it.
    std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread feeder([&] { std::ofstream(fifo, std::ios::binary) << randomBytes(5000, 3); });
    ZipWriter writer(ZipLimits{.field32 = 1000});
    std::string err;
    ASSERT_TRUE(writer.open(dir + "/grow.zip", &err)) << err;
    EXPECT_FALSE(writer.addFile(fifo, "fifo", &err));
    feeder.join();
    EXPECT_EQ(err, fifo + ": file grew too large for its archive header while being packed");
}

TEST(ZipFormat, DosTimesAndUtf8Names) {
    struct {
        int64_t seconds;
        uint16_t time, date;
    } times[] = {
        {localSeconds(1999, 12, 31, 23, 30, 59), (23 << 11) | (30 << 5) | 29, (19 << 9) | (12 << 5) | 31},
        {0, 0, (1 << 5) | 1},  // before 1980: the earliest DOS date
        {7'500'000'000, (23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31},  // after 2107: the latest
    };
    for (const auto& t : times) {
        DosDateTime dos = toDosDateTime(t.seconds);
        EXPECT_EQ(dos.time, t.time) << t.seconds;
        EXPECT_EQ(dos.date, t.date) << t.seconds;
    }
    struct {
        const char* name;
        bool flag;
    } names[] = {
        {"plain/name.txt", false},
        {"caf\xc3\xa9", true},
        {"\xf0\x9f\x93\xa6.zip", true},
        {"latin1-\xe9t\xe9", false},  // not UTF-8: left unflagged
        {"overlong-\xc0\xaf", false},
        {"surrogate-\xed\xa0\x80", false},
        {"cut-\xc3", false},
    };
    for (const auto& n : names) EXPECT_EQ(needsUtf8Flag(n.name), n.flag) << n.name;
}

}  // namespace
}  // namespace dorvan
