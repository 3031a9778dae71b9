// mirror both ways against pyftpdlib: equal trees (empty folders, blanks and
// UTF-8 in names), quiet re-runs, changes found by time, bounded deletes,
// a refused listing protecting its subtree, dry runs, the journal, and the
// state file where the server cannot set times; vsftpd lists by LIST (minutes)
// and sets no times.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"
#include "support/tls_servers.h"

using namespace dorvan::test;

namespace {

int64_t modificationTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

// What the server was asked since `from` (a length of its log).
std::string logSince(const TestServer& server, size_t from) { return server.log().substr(from); }

const std::string uml = "\xc3\xbc";  // ü

}  // namespace

TEST(MirrorEndToEnd, DownMakesAnEqualTreeThenMovesOnlyChangesAndDeletesWithinBounds) {
    TestServer server({.faults = {"refuse-list=locked"}});
    TempDir base;
    const int64_t june2021 = 1'622'548'800;
    writeFile(server.path("a.txt"), "alpha");
    writeFile(server.path("dir with blanks/" + uml + ".txt"), "umlaut");
    writeFile(server.path("sub/deep/c.txt"), "charlie");
    writeFile(server.path("locked/l.txt"), "never listed");
    std::filesystem::create_directories(server.path("empty"));
    setModificationTime(server.path("a.txt"), june2021);
    const std::string target = base.path() + "/made/target", journal = base.file("journal.jsonl");
    const std::string mirror = "mirror --recurse true --local " + target + " --journal " + journal + "\n";

    RunResult r = runDorvan({.input = useServer(server) + mirror + mirror + "quit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_EQ(treeOf(target), (std::vector<std::string>{"a.txt", "dir with blanks", "dir with blanks/" + uml + ".txt",
                                                        "empty", "locked", "sub", "sub/deep", "sub/deep/c.txt"}));
    EXPECT_EQ(readFile(target + "/dir with blanks/" + uml + ".txt"), "umlaut");
    EXPECT_EQ(modificationTime(target + "/a.txt"), june2021);
    EXPECT_EQ(count(out, "mirror failure: "), 2u) << out;  // the refused listing, each run
    EXPECT_TRUE(contains(out, " mirror: 3 new, 0 updated, 0 deleted, 0 unchanged, 0 failed, 18 bytes\n")) << out;
    EXPECT_TRUE(contains(out, " mirror: 0 new, 0 updated, 0 deleted, 3 unchanged, 0 failed, 0 bytes\n")) << out;
    // Each run lists every folder once and asks nothing per file beyond the first run's transfers.
    const std::string log = server.log();
    EXPECT_EQ(count(log, "<- RETR "), 3u) << log;
    EXPECT_EQ(count(log, "<- MDTM ") + count(log, "<- MLST ") + count(log, "<- SIZE "), 0u) << log;
    // The journal: one JSON object per action, private to its owner.
    struct stat st {};
    ASSERT_EQ(::stat(journal.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string records = readFile(journal);
    EXPECT_EQ(count(records, "\n"), 9u) << records;  // the target, 5 folders, 3 downloads
    EXPECT_EQ(count(records, "\"action\":\"download\",\"reason\":\"new\""), 3u) << records;
    EXPECT_EQ(commandOutput("python3 -c 'import json,sys\nfor line in open(sys.argv[1]): json.loads(line)\n"
                            "print(\"valid\")' " +
                            shellQuoted(journal)),
              "valid\n");

    // Same size, another time; two local files the server no longer has; one under the unlisted folder.
    writeFile(server.path("a.txt"), "ALPHA");
    setModificationTime(server.path("a.txt"), june2021 + 3600);
    writeFile(target + "/extra.txt", "x");
    writeFile(target + "/gone/x.txt", "x");
    writeFile(target + "/locked/keep.txt", "k");
    const size_t logged = server.log().size();
    const std::string deleting = "mirror --recurse true --local " + target + " --delete true";
    r = runDorvan({.input = useServer(server) + deleting + " --justprint true\n" + deleting +
                            " --justprint false --maxdelete 1\n" + deleting + " --maxdelete\nquit\n"});
    out = consoleLines(r.out);
    const std::string plan =
        " mirror: download a.txt (time)\n mirror: delete extra.txt (vanished)\n"
        " mirror: delete gone/x.txt (vanished)\n mirror: rmdir gone (vanished)\n"
        " mirror: 1 to transfer, 2 to delete, 2 unchanged (nothing done)\n";
    EXPECT_TRUE(contains(out, plan)) << out;
    EXPECT_TRUE(contains(out,
                         "mirror failure: 2 files would be deleted, more than the cap of 1; nothing was deleted "
                         "(allow it with --maxdelete 2)\n"))
        << out;
    EXPECT_TRUE(contains(out, " mirror: 0 new, 1 updated, 0 deleted, 2 unchanged, 0 failed, 5 bytes\n")) << out;
    EXPECT_TRUE(contains(out,
                         " mirror: deleted extra.txt\n mirror: deleted gone/x.txt\n mirror: removed folder gone\n"
                         " mirror: 0 new, 0 updated, 2 deleted, 3 unchanged, 0 failed, 0 bytes\n"))
        << out;
    EXPECT_EQ(readFile(target + "/a.txt"), "ALPHA");
    EXPECT_EQ(count(logSince(server, logged), "<- RETR "), 1u);
    EXPECT_TRUE(fileExists(target + "/locked/keep.txt")) << "an unlisted folder protects what is below it";
    EXPECT_FALSE(fileExists(target + "/extra.txt"));
    EXPECT_FALSE(std::filesystem::exists(target + "/gone"));
}

TEST(MirrorEndToEnd, UpTwiceSendsNothingTheSecondTimeWithAndWithoutSettableTimes) {
    for (const bool settable : {true, false}) {
        TestServer server({.faults = settable ? std::vector<std::string>{} : std::vector<std::string>{"no-mfmt"}});
        TempDir local, data;
        const int64_t jan2020 = 1'577'836'800;
        for (const std::string& name :
             std::vector<std::string>{"a.txt", "dir with blanks/" + uml + ".txt", "sub/c.txt"}) {
            writeFile(local.file(name), name);
            setModificationTime(local.file(name), jan2020);
        }
        std::filesystem::create_directories(local.file("empty"));
        writeFile(server.path("site/old.txt"), "vanished");
        const std::string mirror =
            "mirror --direction up --recurse true --delete true --maxdelete 1 --remote "
            "/site/new --local " +
            local.path() + "\n";
        const std::string again = "mirror --remote /site/new\n";
        RunResult r = runDorvan({.input = useServer(server) + mirror + again + "quit\n", .dataHome = data.path()});
        const std::string out = consoleLines(r.out);
        EXPECT_FALSE(contains(out, "failure")) << out;  // the missing target folder is made, not a failure
        EXPECT_EQ(treeOf(server.path("site/new")),
                  (std::vector<std::string>{"a.txt", "dir with blanks", "dir with blanks/" + uml + ".txt", "empty",
                                            "sub", "sub/c.txt"}))
            << settable;
        EXPECT_TRUE(contains(out, " mirror: 3 new, 0 updated, 0 deleted, 0 unchanged, 0 failed, 36 bytes\n")) << out;
        EXPECT_TRUE(contains(out, " mirror: 0 new, 0 updated, 0 deleted, 3 unchanged, 0 failed, 0 bytes\n")) << out;
        const std::string log = server.log();
        EXPECT_EQ(count(log, "<- STOR "), 3u) << log;
        EXPECT_EQ(count(log, "<- RNTO "), 3u) << log;  // each file sent under a temporary name, then renamed
        EXPECT_EQ(count(log, "<- MFMT "), settable ? 3u : 0u) << log;
        EXPECT_EQ(fileExists(server.path("site/old.txt")), true);
        if (settable) {
            EXPECT_EQ(modificationTime(server.path("site/new/sub/c.txt")), jan2020);
        }
        // Without settable times, a record of what was sent tells the second run the files are unchanged;
        // a damaged record only costs a full compare (every file sent again).
        if (settable) continue;
        const auto states = treeOf(data.path() + "/Tolvane/Dorvan");
        ASSERT_EQ(
            std::count_if(states.begin(), states.end(), [](const std::string& n) { return n.ends_with(".state"); }), 1)
            << ::testing::PrintToString(states);
        for (const std::string& name : states)
            if (name.ends_with(".state")) writeFile(data.path() + "/Tolvane/Dorvan/" + name, "damaged");
        r = runDorvan({.input = useServer(server) + mirror + "quit\n", .dataHome = data.path()});
        EXPECT_TRUE(contains(consoleLines(r.out), " mirror: 0 new, 3 updated, 0 deleted, 0 unchanged, 0 failed"))
            << consoleLines(r.out);
    }
}

TEST(MirrorEndToEnd, ByListAndMdtmBothWaysTheSecondRunMovesNothingThenDeletesWhatVanished) {
    VsftpdServer server({.plain = true});
    TempDir up, down, data;
    for (const std::string& name : std::vector<std::string>{"a.txt", "dir with blanks/b.txt", "sub/c.txt"}) {
        writeFile(up.file(name), name);
        setModificationTime(up.file(name), 1'577'836'800);
    }
    std::filesystem::create_directories(up.file("empty"));
    const std::string login = "set --host 127.0.0.1 --port " + std::to_string(server.port()) + " --username " +
                              server.user() + " --password " + server.password() + " --keepalive 0\n";
    const std::string upward = "mirror --direction up --recurse true --remote m --local " + up.path();
    const RunResult r = runDorvan(
        {.input = login + upward + "\nmirror\nmirror --direction down --local " + down.path() + "/copy\nmirror\nquit\n",
         .dataHome = data.path()});
    const std::string out = consoleLines(r.out);
    EXPECT_EQ(count(out, " mirror: 3 new, 0 updated, 0 deleted, 0 unchanged, 0 failed, 35 bytes\n"), 2u) << out;
    EXPECT_EQ(count(out, " mirror: 0 new, 0 updated, 0 deleted, 3 unchanged, 0 failed, 0 bytes\n"), 2u) << out;
    EXPECT_EQ(treeOf(down.path() + "/copy"), treeOf(up.path()));
    EXPECT_EQ(modificationTime(down.path() + "/copy/sub/c.txt"), modificationTime(server.path("m/sub/c.txt")));
    const std::string log = server.log();
    EXPECT_EQ(count(log, "\"STOR "), 3u) << log;
    EXPECT_EQ(count(log, "\"RETR "), 3u) << log;

    std::filesystem::remove(up.file("sub/c.txt"));
    std::filesystem::remove(up.file("empty"));
    const RunResult deleting = runDorvan({.input = login + upward + " --delete true\nquit\n", .dataHome = data.path()});
    EXPECT_EQ(
        count(consoleLines(deleting.out), " mirror: 0 new, 0 updated, 1 deleted, 2 unchanged, 0 failed, 0 bytes\n"), 1u)
        << consoleLines(deleting.out);
    EXPECT_FALSE(std::filesystem::exists(server.path("m/sub/c.txt")));
    EXPECT_FALSE(std::filesystem::exists(server.path("m/empty")));
    EXPECT_TRUE(std::filesystem::is_directory(server.path("m/sub")));
}

TEST(MirrorEndToEnd, UpWithDeleteNeverWalksIntoARemoteLinkToAFolder) {
    TestServer server;
    TempDir local;
    writeFile(local.file("a.txt"), "alpha");
    writeFile(server.path("site/keep/t.txt"), "outside the mirrored folder");
    writeFile(server.path("site/m/a.txt"), "alpha");
    std::filesystem::create_directory_symlink("../keep", server.path("site/m/linked"));
    const RunResult r =
        runDorvan({.input = useServer(server) +
                            "mirror --direction up --recurse true --delete true --maxdelete 10 --remote "
                            "/site/m --local " +
                            local.path() + "\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), " mirror: 0 new, 0 updated, 0 deleted, 1 unchanged, 0 failed, 0 bytes\n"))
        << consoleLines(r.out);
    EXPECT_TRUE(fileExists(server.path("site/keep/t.txt")));
    EXPECT_TRUE(std::filesystem::is_symlink(server.path("site/m/linked")));
    EXPECT_EQ(count(server.log(), "<- DELE "), 0u) << server.log();
}
