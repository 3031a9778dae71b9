#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/paths.h"
#include "support/shell_command.h"
#include "zip/archive.h"

namespace dorvan {
namespace {

namespace fs = std::filesystem;

using test::shellQuoted;

// "name=content" lines of every member, in archive order, read by Python's
// zipfile after its own CRC check; "bad archive" when either reader objects.
std::string membersOf(const std::string& archive) {
    std::string command = "unzip -tq " + shellQuoted(archive) + " >/dev/null 2>&1 && /usr/bin/python3 -c " +
                          shellQuoted(
                              "import sys, zipfile\n"
                              "z = zipfile.ZipFile(sys.argv[1])\n"
                              "assert z.testzip() is None\n"
                              "for i in z.infolist(): print('%s%s=%s' % (i.filename, "
                              "' (utf-8)' if i.flag_bits & 0x800 else '', z.read(i).decode()))\n") +
                          " " + shellQuoted(archive) + " 2>/dev/null";
    std::string out;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
        if (pclose(pipe) != 0) return "bad archive";
    }
    return out;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ziparchiveXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        base = dir + "/local/";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& path, const std::string& content) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::string dir, base;
};

TEST_F(ZipArchiveTest, EntryNamesDropTheBaseFolderAndStayInside) {
    struct {
        std::string path, base, name;
    } cases[] = {
        {"/home/u/site/index.htm", "/home/u/", "site/index.htm"},
        {"/up/x/up/b.txt", "/up/", "x/up/b.txt"},             // only the leading base goes
        {"/srv/other/a.txt", "/home/u/", "srv/other/a.txt"},  // outside the base: made relative
        {"/home/u/a.txt", "", "home/u/a.txt"},
        {"/home/u/x\\y.txt", "/home/u/", "x\\y.txt"},  // a backslash is part of the name
        {"/home/u/./a//b/../c.txt", "/home/u/", "a/c.txt"},
        {"../../etc/passwd", "/home/u/", "etc/passwd"},
        {"/home/u/", "/home/u/", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(entryNameOf(c.path, c.base), c.name) << c.path;
}

TEST_F(ZipArchiveTest, PacksOneMemberPerNameInFirstAppearanceOrder) {
    // A file outside the base keeps its whole path, made relative: the same name as the second file.
    const std::string twice = dir.substr(1) + "/x";
    std::vector<std::string> files = {
        file(base + "a.txt", "A"),  file(base + twice, "first"), file(base + "d/caf\xc3\xa9.txt", "C"),
        file(dir + "/x", "second"), file(base + "empty", ""),
    };
    std::string archive = dir + "/out.zip";
    std::string error;
    ASSERT_TRUE(createArchive(files, base, archive, &error)) << error;
    EXPECT_EQ(membersOf(archive), "a.txt=A\n" + twice + "=second\nd/caf\xc3\xa9.txt (utf-8)=C\nempty=\n");
}

TEST_F(ZipArchiveTest, FailuresAreReportedAndLeaveNoPartialArchive) {
    std::string good = file(base + "good.txt", "g");
    std::string archive = dir + "/out.zip";
    struct {
        std::vector<std::string> files;
        std::string archive, reason;
    } cases[] = {
        {{good, base + "missing.txt"}, archive, base + "missing.txt: No such file or directory"},
        {{good, dir}, archive, dir + ": Is a directory"},
        {{good}, good + "/out.zip", good + "/out.zip: Not a directory"},
        {{good, archive}, archive, archive + ": is the archive being written"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(createArchive(c.files, base, c.archive, &error));
        EXPECT_EQ(error, "createArchive " + c.archive + " failed: " + c.reason);
        EXPECT_FALSE(platform::pathExists(c.archive)) << c.archive;
    }
}

TEST_F(ZipArchiveTest, UploadArchivesGoToTheDataFolderAndReplaceOldOnes) {
    std::string dataFolder = dir + "/data/";
    std::vector<std::string> files = {file(base + "f.txt", "F")};

    // The data folder does not exist yet: packing fails like any unwritable path.
    std::string error;
    EXPECT_FALSE(packUpload(files, base, archivePathFor("files.zip", dataFolder), &error));
    EXPECT_TRUE(error.starts_with("createArchive " + dataFolder + "files.zip failed: ")) << error;

    struct {
        std::string value, path;
    } cases[] = {
        {"files.zip", dataFolder + "files.zip"},
        {"sub.zip", dataFolder + "sub.zip"},
        {dir + "/abs.zip", dir + "/abs.zip"},
    };
    file(dataFolder + "files.zip", "stale content that must be replaced");
    for (const auto& c : cases) {
        std::string path = archivePathFor(c.value, dataFolder);
        EXPECT_EQ(path, c.path);
        EXPECT_TRUE(packUpload(files, base, path, &error)) << error;
        EXPECT_EQ(membersOf(c.path), "f.txt=F\n") << c.path;
    }
}

}  // namespace
}  // namespace dorvan
