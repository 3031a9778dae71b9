// Listings and file times end to end: the time filters on MLSD listings
// (pyftpdlib) and LIST listings (vsftpd), keeptime both ways, IPv6 sessions,
// and the fall back from a refused MLSD.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <sstream>

#include "ftp/ftp_lib.h"
#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"
#include "support/tls_servers.h"

using namespace dorvan::test;

namespace {

constexpr int64_t minute = 60;
constexpr int64_t day = 86'400;

std::string useVsftpd(const VsftpdServer& server, const std::string& host = "127.0.0.1") {
    return "set --host " + host + " --port " + std::to_string(server.port()) + " --username " + server.user() +
           " --password " + server.password() + " --keepalive 0\n";
}

int64_t modificationTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

// The names each `mget --justprint true` of a run found, one sorted list per mget.
std::vector<std::vector<std::string>> foundPerMget(const std::string& out) {
    std::vector<std::vector<std::string>> found;
    std::vector<std::string> names;
    std::istringstream lines(consoleLines(out));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(" mget: found ")) names.push_back(line.substr(13));
        if (contains(line, " files saved to ") || line.starts_with("mget failure: No files matched")) {
            std::sort(names.begin(), names.end());
            found.push_back(std::move(names));
            names.clear();
        }
    }
    return found;
}

using Names = std::vector<std::string>;

struct FilterCase {
    std::string bounds;
    Names byMlsd;
    std::optional<Names> byList;  // none: a bound within LIST's minute of a file
};

}  // namespace

// Files dated to the second around the bounds, and one 400 days old: MLSD
// gives exact times, LIST minutes for recent files and days for old ones, and
// the filters take each at its precision.
TEST(ListingsEndToEnd, TimeFiltersSelectExactlyByMlsdAndByList) {
    TestServer pyftpdlib;
    VsftpdServer vsftpd({.plain = true});
    // old.txt's listed day must be the day 400 days before the scans: the run keeps clear of UTC midnight.
    ASSERT_TRUE(waitUntil([] { return std::time(nullptr) % day > 30 && std::time(nullptr) % day < day - 30; },
                          std::chrono::seconds(70)));
    const int64_t now = std::time(nullptr);
    const std::pair<const char*, int64_t> tree[] = {{"new/a.txt", now - 9 * minute - 40},
                                                    {"new/b.txt", now - 10 * minute - 20},
                                                    {"mid.txt", now - 30 * minute},
                                                    {"old.txt", now - 400 * day - 5}};
    for (auto [name, time] : tree) {
        for (const std::string& path : {pyftpdlib.path(name), vsftpd.path(name)}) {
            writeFile(path, name);
            setModificationTime(path, time);
        }
    }
    const std::string days400 = std::to_string(400 * day / minute);
    const FilterCase cases[] = {
        // 20 seconds either side of the bound: to the second by MLSD; LIST shows a minute.
        {"--lmodified 10", {"new/a.txt"}, std::nullopt},
        {"--gmodified 10", {"mid.txt", "new/b.txt", "old.txt"}, std::nullopt},
        {"--lmodified 15", {"new/a.txt", "new/b.txt"}, Names{"new/a.txt", "new/b.txt"}},
        {"--gmodified 20 --lmodified 60", {"mid.txt"}, Names{"mid.txt"}},
        // 400 days and 5 seconds: outside to the second, inside on its listed day.
        {"--lmodified " + days400,
         {"mid.txt", "new/a.txt", "new/b.txt"},
         Names{"mid.txt", "new/a.txt", "new/b.txt", "old.txt"}},
        {"--gmodified " + days400, {"old.txt"}, Names{"old.txt"}},
    };
    std::string commands = "set --recurse true --justprint true --local /tmp/\n";
    for (const FilterCase& c : cases) commands += "mget " + c.bounds + "\nset --lmodified --gmodified\n";
    commands += "quit\n";

    RunResult byMlsd = runDorvan({.input = useServer(pyftpdlib) + commands});
    RunResult byList = runDorvan({.input = useVsftpd(vsftpd) + commands});
    const auto mlsdFound = foundPerMget(byMlsd.out), listFound = foundPerMget(byList.out);
    ASSERT_EQ(mlsdFound.size(), std::size(cases)) << consoleLines(byMlsd.out);
    ASSERT_EQ(listFound.size(), std::size(cases)) << consoleLines(byList.out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].bounds);
        EXPECT_EQ(mlsdFound[i], cases[i].byMlsd);
        if (cases[i].byList) {
            EXPECT_EQ(listFound[i], *cases[i].byList);
        }
    }
    EXPECT_TRUE(contains(pyftpdlib.log(), "<- MLSD")) << pyftpdlib.log();
    EXPECT_FALSE(contains(pyftpdlib.log(), "<- LIST")) << pyftpdlib.log();
    EXPECT_TRUE(contains(vsftpd.log(), "\"LIST\"")) << vsftpd.log();
}

// keeptime: mget and get give downloads the server's times (from MLSD and MLST,
// or from MDTM where LIST is all there is); put and mput send MFMT where the
// server offers it, and where not, say so at debug level 1. At that level mget
// and mput also name the links their scans skipped.
TEST(ListingsEndToEnd, KeeptimeBothWaysAndSkippedLinksAtDebugOne) {
    TestServer pyftpdlib;
    VsftpdServer vsftpd({.plain = true});
    const int64_t june2021 = 1'623'752'430, jan2019 = 1'546'398'245, mar2020 = 1'583'298'367;
    const std::pair<const char*, int64_t> tree[] = {
        {"k/one.txt", june2021}, {"k/sub/two.txt", jan2019}, {"single.txt", jan2019}};
    for (auto [name, time] : tree) {
        for (const std::string& path : {pyftpdlib.path(name), vsftpd.path(name)}) {
            writeFile(path, name);
            setModificationTime(path, time);
        }
    }
    ASSERT_EQ(symlink("one.txt", vsftpd.path("k/link.txt").c_str()), 0);  // LIST shows a link, MLSD its target
    TempDir up;
    writeFile(up.file("up.txt"), "up");
    setModificationTime(up.file("up.txt"), mar2020);
    ASSERT_EQ(symlink(".", up.file("loop").c_str()), 0);

    struct Run {
        std::string server;
        std::string mtimeReads;  // what the server's log shows of each time asked for
        size_t reads;
    };
    // Besides the kept times, each download that may be continued after a cut asks the time first where no
    // listing gave it to the second: both gets, and on vsftpd (LIST) every file of the mget.
    for (const Run& run : {Run{"pyftpdlib", "<- MLST single.txt", 3}, Run{"vsftpd", "\"MDTM ", 9}}) {
        SCOPED_TRACE(run.server);
        const bool mlsd = run.server == "pyftpdlib";
        TempDir local;
        RunResult r = runDorvan(
            {.input = (mlsd ? useServer(pyftpdlib) : useVsftpd(vsftpd)) + "set --keeptime true --debug 1 --local " +
                      local.path() + " --recurse true\nmget\nget --src single.txt --dst got.txt\nset --local " +
                      up.path() + "\nput --src up.txt --dst put.txt\nmput\nset --keeptime false --local " +
                      local.path() + "\nget --src single.txt --dst plain.txt\nquit\n"});
        const std::string out = consoleLines(r.out);
        EXPECT_FALSE(contains(out, "fail")) << out;
        EXPECT_TRUE(contains(out, " mput: symbolic link to a folder not followed: " + up.path() + "/loop\n")) << out;
        EXPECT_EQ(contains(out, " mget: skipped k/link.txt, a symbolic link\n"), !mlsd) << out;
        EXPECT_EQ(modificationTime(local.file("k/one.txt")), june2021);
        EXPECT_EQ(modificationTime(local.file("k/sub/two.txt")), jan2019);
        EXPECT_EQ(modificationTime(local.file("single.txt")), jan2019);
        EXPECT_EQ(modificationTime(local.file("got.txt")), jan2019);
        EXPECT_GT(modificationTime(local.file("plain.txt")), mar2020) << "keeptime false: the time of the download";
        const std::string log = mlsd ? pyftpdlib.log() : vsftpd.log();
        EXPECT_EQ(count(log, run.mtimeReads), run.reads) << log;
        if (mlsd) {
            EXPECT_TRUE(contains(log, "<- MFMT 20200304050607 put.txt")) << log;
            EXPECT_TRUE(contains(log, "<- MFMT 20200304050607 up.txt")) << log;
            EXPECT_FALSE(contains(log, "<- MDTM")) << log;
            EXPECT_EQ(modificationTime(pyftpdlib.path("put.txt")), mar2020);
            EXPECT_EQ(modificationTime(pyftpdlib.path("up.txt")), mar2020);
        } else {
            EXPECT_EQ(count(out, " keeptime: the server cannot set the time of " + up.path() + "/up.txt\n"), 2u) << out;
            EXPECT_TRUE(fileExists(vsftpd.path("put.txt")) && fileExists(vsftpd.path("up.txt")));
        }
    }
}

// vsftpd on ::1, the host given with and without brackets: EPSV in passive
// mode, EPRT in active mode, for get, put and a recursive mget.
TEST(ListingsEndToEnd, Ipv6SessionsInPassiveAndActiveMode) {
    VsftpdServer server({.plain = true, .ipv6 = true});
    writeFile(server.path("down.txt"), "down");
    writeFile(server.path("tree/a.txt"), "alpha");
    writeFile(server.path("tree/deep/b.txt"), "bravo");
    TempDir up;
    writeFile(up.file("up.txt"), "up");
    const std::pair<const char*, const char*> runs[] = {{"[::1]", "true"}, {"::1", "false"}, {"[::1]", "false"}};
    for (auto [host, passive] : runs) {
        SCOPED_TRACE(std::string(host) + " passive " + passive);
        TempDir local;
        const std::string upload = std::string("up-") + passive + ".txt";
        RunResult r =
            runDorvan({.input = useVsftpd(server, host) + "set --passive " + passive + " --local " + local.path() +
                                "\nget --src down.txt\ncwd --name tree\nmget --recurse true\n"
                                "cdup\nput --local " +
                                up.path() + " --src up.txt --dst " + upload + "\nquit\n"});
        const std::string out = consoleLines(r.out);
        EXPECT_TRUE(out.starts_with(" connected to " + std::string(host) + "\n Loggedin\n")) << out;
        EXPECT_FALSE(contains(out, "fail")) << out;
        EXPECT_EQ(readFile(local.file("down.txt")), "down");
        EXPECT_EQ(readFile(local.file("a.txt")), "alpha");
        EXPECT_EQ(readFile(local.file("deep/b.txt")), "bravo");
        EXPECT_EQ(readFile(server.path(upload)), "up");
    }
    const std::string log = server.log();
    // Each run: get, the two listings of mget and its two files, put.
    EXPECT_EQ(count(log, "\"EPSV\""), 6u) << log;
    EXPECT_EQ(count(log, "\"EPRT |2|::1|"), 12u) << log;
    EXPECT_FALSE(contains(log, "\"PASV\"") || contains(log, "\"PORT ")) << log;
}

// A server that offers MLSD and refuses it is listed by LIST for the rest of
// the session; a folder that MLSD and LIST both refuse is no such sign.
TEST(ListingsEndToEnd, RefusedMlsdFallsBackToListAMissingFolderDoesNot) {
    TestServer refusing({.faults = {"refuse-mlsd"}}), plain;
    for (const TestServer* server : {&refusing, &plain}) {
        writeFile(server->path("a.txt"), "a");
        writeFile(server->path("sub/b.txt"), "b");
        dorvan::FtpLib ftp;
        ASSERT_TRUE(ftp.connect("127.0.0.1", server->port()) && ftp.login(server->user(), server->password()));
        std::vector<dorvan::FtpFileInfo> entries;
        EXPECT_FALSE(ftp.list("missing", entries));
        ASSERT_TRUE(ftp.list("", entries)) << ftp.lastResponse();
        EXPECT_EQ(entries.size(), 2u);
        ASSERT_TRUE(ftp.list("sub", entries)) << ftp.lastResponse();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "b.txt");
        ftp.quit();
    }
    EXPECT_EQ(count(refusing.log(), "<- MLSD"), 2u) << refusing.log();
    EXPECT_EQ(count(refusing.log(), "<- LIST"), 3u) << refusing.log();
    EXPECT_EQ(count(plain.log(), "<- MLSD"), 3u) << plain.log();
    EXPECT_EQ(count(plain.log(), "<- LIST"), 1u) << plain.log();
}
