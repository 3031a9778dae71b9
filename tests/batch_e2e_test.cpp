// mget and mput of whole trees against a real server: walk order, filters,
// messages, and the folders made on either side.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

TEST(BatchEndToEnd, MgetCopiesTheTreeWithRecurseOnAndOff) {
    TestServer server;
    TempDir one, all;
    writeFile(server.path("a.txt"), "alpha");
    writeFile(server.path("sub/b.txt"), "bravo");
    writeFile(server.path("sub/deep/c.txt"), "charlie");
    std::filesystem::create_directory(server.path("empty"));
    RunResult r = runDorvan({.input = useServer(server) + "mget\nset --local " + one.path() + "\nmget\nset --local " +
                                      all.path() + " --recurse true\nmget\ncwd --name empty\nmget\nquit\n"});
    const std::string a = all.path() + "/";
    EXPECT_EQ(consoleLines(r.out),
              " connected to 127.0.0.1\n Loggedin\nmget failure: local folder for FTP transfer not specified\n" +
                  help("mget") + " 1/1 Downloading a.txt to " + one.path() + "/a.txt... \n1 files saved to " +
                  one.path() + "/\n 1/3 Downloading a.txt to " + a + "a.txt... \n 2/3 Downloading sub/b.txt to " + a +
                  "sub/b.txt... \n 3/3 Downloading sub/deep/c.txt to " + a + "sub/deep/c.txt... \n3 files saved to " +
                  a +
                  "\n working directory changed to 'empty'\n"
                  "mget failure: No files matched on : /empty\n FTP closed\n");
    EXPECT_EQ(treeOf(one.path()), std::vector<std::string>{"a.txt"});
    EXPECT_EQ(treeOf(all.path()),
              (std::vector<std::string>{"a.txt", "sub", "sub/b.txt", "sub/deep", "sub/deep/c.txt"}));
    EXPECT_EQ(readFile(all.file("sub/deep/c.txt")), "charlie");
    EXPECT_TRUE(contains(r.log(), "Info   Dorvan - 3 files saved to " + a + "\n"));
    // One listing per folder (by MLSD, which the server offers), and no command per file beyond the transfer.
    const std::string log = server.log();
    EXPECT_EQ(count(log, "<- MLSD"), 6u) << log;
    EXPECT_EQ(count(log, "<- SIZE"), 0u) << log;
    EXPECT_EQ(count(log, "<- PWD"), 2u) << "one for the folder a reconnect returns to, one for the line" << log;
    EXPECT_TRUE(contains(log, "<- RETR sub/deep/c.txt")) << log;
}

TEST(BatchEndToEnd, FiltersSelectFilesButNeverPruneFolders) {
    TestServer server;
    TempDir local;
    writeFile(server.path("a.TXT"), std::string(15360, 'a'));
    writeFile(server.path("big.txt"), std::string(15361, 'b'));
    writeFile(server.path("c.doc"), "c");
    writeFile(server.path("old.txt"), "o");
    writeFile(server.path("private/y.txt"), "y");
    writeFile(server.path("sub/b.mp3"), "m");
    writeFile(server.path("x/private/y.txt"), "y");
    setModificationTime(server.path("old.txt"), std::time(nullptr) - 2 * 3600);
    const std::string runs[][2] = {
        {"--include *.txt|*.mp3", "a.TXT big.txt old.txt private/y.txt sub/b.mp3 x/private/y.txt"},
        {"--include --exclude */private/*", "a.TXT big.txt c.doc old.txt sub/b.mp3"},
        {"--exclude --lsize 15", "a.TXT c.doc old.txt private/y.txt sub/b.mp3 x/private/y.txt"},
        {"--lsize --gsize 15", "a.TXT big.txt"},
        {"--gsize --lmodified 15", "a.TXT big.txt c.doc private/y.txt sub/b.mp3 x/private/y.txt"},
        {"--lmodified --gmodified 60", "old.txt"},
        {"--gmodified --maxfiles 2", "a.TXT big.txt"},
        {"--maxfiles --maxfolders 1", "a.TXT big.txt c.doc old.txt"},
        {"--maxfolders 2 --recurse false", "a.TXT big.txt c.doc old.txt"},
        {"--maxfolders --maxfiles 0", ""},
    };
    std::string input = useServer(server, "--local " + local.path() + " --justprint true --recurse true");
    std::string expected = " connected to 127.0.0.1\n Loggedin\n";
    for (const auto& [options, found] : runs) {
        input += "mget " + options + "\n";
        std::istringstream names(found);
        for (std::string name; names >> name;) expected += " mget: found " + name + "\n";
        expected +=
            found.empty() ? "mget failure: No files matched on : /\n" : "0 files saved to " + local.path() + "/\n";
    }
    RunResult r = runDorvan({.input = input + "quit\n"});
    EXPECT_EQ(consoleLines(r.out), expected + " FTP closed\n");
    EXPECT_TRUE(treeOf(local.path()).empty()) << "justprint creates nothing";

    // The local scan matches the whole local path; exclude also the path below the local folder.
    writeFile(local.file("a.txt"), "a");
    writeFile(local.file("b.doc"), "b");
    writeFile(local.file("private/p.txt"), "p");
    writeFile(local.file("sub/c.txt"), std::string(2048, 'c'));
    r = runDorvan({.input = useServer(server, "--local " + local.path() + " --justprint true --recurse true") +
                            "mput --include *.txt --exclude private/*\nmput --include --exclude --gsize 1\nquit\n"});
    std::string out = consoleLines(r.out);
    const std::string l = local.path() + "/";
    for (const std::string name : {"a.txt", "sub/c.txt"})
        EXPECT_EQ(count(out, " found " + l + name + " to " + name + "\n"), 2u - (name == "a.txt")) << out;
    EXPECT_EQ(count(out, " found "), 3u) << out;
    EXPECT_EQ(count(out, " 0 files uploaded to /\n"), 2u) << out;
}

TEST(BatchEndToEnd, MgetSkipsRefusesAndConflictsFileByFile) {
    TestServer server({.faults = {"refuse-marked-transfers"}});
    TempDir local;
    writeFile(server.path("a.txt"), "12345");
    writeFile(server.path("refused.txt"), "zzz");
    writeFile(server.path("sub/b.txt"), "bbb");
    createSparseFile(server.path("huge/big.bin"), (1ull << 31) + 5);
    writeFile(local.file("a.txt"), "abcde");
    writeFile(local.file("refused.txt"), "precious");
    writeFile(local.file("sub"), "a file where a folder is needed");
    createSparseFile(local.file("huge/big.bin"), (1ull << 31) + 5);
    const std::string l = local.path() + "/";
    RunResult r = runDorvan({.input = useServer(server, "--local " + local.path()) +
                                      "mget --recurse true --overwrite false --debug 1\n"
                                      "mget --debug 0 --overwrite true --justprint true\nquit\n"});
    EXPECT_TRUE(contains(
        consoleLines(r.out),
        "Same size, skiped: a.txt\nSame size, skiped: huge/big.bin\n 3/4 Downloading refused.txt to " + l +
            "refused.txt... \nDownload refused.txt failed, 550 Transfer refused.\n"
            "mget: create " +
            l + "sub/b.txt catch Path.createPath :: file/folder conflict: " + l + "sub\n0 files saved to " + l +
            ", 2 failed\n mget: found a.txt\n mget: found huge/big.bin\n"
            " mget: found refused.txt\n mget: found sub/b.txt\n0 files saved to " +
            l + "\n"))
        << r.out;
    EXPECT_EQ(readFile(local.file("refused.txt")), "precious");
    EXPECT_EQ(treeOf(local.path()), (std::vector<std::string>{"a.txt", "huge", "huge/big.bin", "refused.txt", "sub"}));
    EXPECT_FALSE(contains(server.log(), "RETR huge/big.bin"));

    // A transfer that fails after its data arrived, or ends short of the listed
    // size, leaves the local file as it was, after its retry too.
    for (const char* fault : {"fail-after-transfer", "short-retr"}) {
        TestServer failing({.faults = {fault}});
        writeFile(failing.path("refused-short.txt"), std::string(10'000, 'n'));
        writeFile(local.file("refused-short.txt"), "precious");
        r = runDorvan(
            {.input = useServer(failing, "--local " + local.path() + " --retries 1 --retrywait 1") + "mget\nquit\n"});
        EXPECT_TRUE(contains(consoleLines(r.out), " retry 1 of 1 in 1 s: refused-short.txt: ")) << fault << r.out;
        EXPECT_TRUE(contains(consoleLines(r.out), "\nDownload refused-short.txt failed, ")) << fault << r.out;
        EXPECT_EQ(readFile(local.file("refused-short.txt")), "precious") << fault;
    }
}

TEST(BatchEndToEnd, MgetRecreatesALocalFolderDeletedBetweenRuns) {
    TestServer server;
    TempDir local;
    writeFile(server.path("sub/b.txt"), "bravo");
    DorvanProcess dorvan({.input = useServer(server, "--local " + local.path() + " --recurse true") + "mget\n"});
    ASSERT_TRUE(dorvan.waitForOutput("1 files saved", 20s)) << dorvan.out();
    std::filesystem::remove_all(local.file("sub"));
    dorvan.writeInput("mget\nquit\n");
    dorvan.closeInput();
    RunResult r = dorvan.wait(20s);
    EXPECT_EQ(count(r.out, "1 files saved"), 2u) << r.out;
    EXPECT_EQ(readFile(local.file("sub/b.txt")), "bravo");
}

TEST(BatchEndToEnd, ListedNamesNeverLeadOutsideTheLocalFolder) {
    TestServer server({.faults = {"hostile-listing"}});
    TempDir parent;
    writeFile(server.path("a.txt"), "alpha");
    const std::string l = parent.path() + "/dl/";
    std::filesystem::create_directory(l);
    RunResult r = runDorvan({.input = useServer(server, "--local " + l + " --recurse true") + "mget\nquit\n"});
    const std::string refused = " failed, the name leads outside the local folder\n";
    EXPECT_EQ(consoleLines(r.out),
              " connected to 127.0.0.1\n Loggedin\nmget failure: folder name leads outside the listed folder: "
              "x\\..\\..\\outdir\n 1/3 Downloading a.txt to " +
                  l + "a.txt... \nDownload ..\\outside.txt" + refused + "Download /outside.txt" + refused +
                  "1 files saved to " + l + ", 2 failed, scan failures: 1\n FTP closed\n");
    EXPECT_EQ(treeOf(parent.path()), (std::vector<std::string>{"dl", "dl/a.txt"}));
    EXPECT_EQ(count(server.log(), "<- LIST"), 1u) << "no listing of a folder outside";
}

TEST(BatchEndToEnd, SymbolicLinksNeverLeadTransfersOutsideTheLocalFolder) {
    TestServer server;
    TempDir parent;
    writeFile(server.path("sub/config.txt"), "remote");
    writeFile(server.path("inner/x.txt"), "x");
    const std::string l = parent.path() + "/local/";
    writeFile(parent.file("outside/config.txt"), "keep");
    writeFile(parent.file("key.txt"), "secret");
    writeFile(l + "real.txt", "real");
    std::filesystem::create_directory(l + "folder");
    for (auto [target, link] : {std::pair{parent.file("outside"), "sub"},
                                {"folder", "inner"},
                                {parent.file("key.txt"), "notes.txt"},
                                {"real.txt", "inside.txt"}})
        ASSERT_EQ(symlink(target.c_str(), (l + link).c_str()), 0);
    RunResult r = runDorvan({.input = useServer(server, "--local " + l) + "mget --recurse true\nmput\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, "Download sub/config.txt failed, the symbolic link " + l +
                                  "sub leads outside the local folder\n1 files saved to "))
        << out;
    EXPECT_TRUE(contains(out, "Upload " + l + "notes.txt failure, the symbolic link " + l +
                                  "notes.txt leads outside the local folder\n"))
        << out;
    EXPECT_TRUE(contains(out, " 3 files uploaded to /, 1 failed\n")) << out;
    EXPECT_EQ(readFile(parent.file("outside/config.txt")), "keep");
    EXPECT_EQ(readFile(l + "folder/x.txt"), "x") << "a link inside the folder is followed";
    EXPECT_EQ(readFile(server.path("inside.txt")), "real");
    EXPECT_FALSE(fileExists(server.path("notes.txt")));
}

TEST(BatchEndToEnd, TreeLoopsEndTheirBranch) {
    TestServer server({.faults = {"endless-tree"}});
    TempDir local, up;
    writeFile(server.path("a.txt"), "alpha");
    std::filesystem::create_directory(server.path("loop"));
    writeFile(up.file("u.txt"), "u");
    ASSERT_EQ(symlink(".", up.file("link").c_str()), 0);
    RunResult r = runDorvan({.input = useServer(server, "--local " + local.path() + " --recurse true") +
                                      "mget\nmput --local " + up.path() + " --justprint true\nquit\n",
                             .timeout = 60s});
    ASSERT_FALSE(r.timedOut);
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out,
                         "mget failure: folder 'loop' leads back to a folder above it (listed alike down to 64 "
                         "levels), left out\n 1/1 Downloading a.txt to " +
                             local.path() + "/a.txt... \n1 files saved to " + local.path() + "/, scan failures: 1\n"))
        << out;
    EXPECT_TRUE(contains(out, " found " + up.path() + "/u.txt to u.txt\n 0 files uploaded to /\n")) << out;
    EXPECT_EQ(count(out, " found "), 1u) << out;
}

TEST(BatchEndToEnd, MputSendsTheTreeAndRemembersFoldersPerPlace) {
    TestServer server({.faults = {"refuse-marked-transfers"}});
    TempDir local, data, odd;
    writeFile(local.file("a.txt"), "alpha");
    writeFile(local.file("sub/b.txt"), "bravo");
    writeFile(server.path("a.txt"), "ALPHA");
    std::filesystem::create_directory(server.path("other"));
    const std::string l = local.path() + "/";
    // Every batch sends one file at most, so that no line depends on the
    // order in which the file system enumerates a folder.
    const std::vector<TranscriptStep> transcript = {
        {"mput", {" 1/1 Uploading a.txt to a.txt ...", " 1 files uploaded to /"}},
        {"mput --overwrite false", {" mput skiped, same size: " + l + "a.txt", " 0 files uploaded to /"}},
        {"mput --recurse true --include *b.txt",
         {" Made dir: sub", " 1/1 Uploading sub/b.txt to sub/b.txt ...", " 1 files uploaded to /"}},
        {"cwd --name other", {" working directory changed to 'other'"}},
        // A new place: sub is made there too.
        {"mput --overwrite true",
         {" Made dir: sub", " 1/1 Uploading sub/b.txt to sub/b.txt ...", " 1 files uploaded to /other"}},
        {"mput --compress pack.zip --include",
         {" 1/1 Uploading " + data.path() + "/Tolvane/Dorvan/pack.zip to pack.zip ...", " 1 files uploaded to /other"}},
        // compress is one-shot; sub is not made twice at one place.
        {"mput --include *b.txt", {" 1/1 Uploading sub/b.txt to sub/b.txt ...", " 1 files uploaded to /other"}},
        // A short archive name is ignored.
        {"mput --compress a.z --justprint true",
         {" found " + l + "sub/b.txt to sub/b.txt", " 0 files uploaded to /other"}},
        {"quit", {" FTP closed"}},
    };
    RunResult r = runDorvan(
        {.input = useServer(server, "--local " + local.path()) + transcriptInput(transcript), .dataHome = data.path()});
    EXPECT_EQ(consoleLines(r.out), " connected to 127.0.0.1\n Loggedin\n" + transcriptLines(transcript));
    EXPECT_EQ(readFile(server.path("a.txt")), "alpha");
    EXPECT_EQ(readFile(server.path("other/sub/b.txt")), "bravo");
    EXPECT_EQ(count(server.log(), "<- MKD sub"), 2u);
    const std::string packed = commandOutput("unzip -l " + server.path("other/pack.zip"));
    EXPECT_TRUE(contains(packed, " a.txt\n") && contains(packed, " sub/b.txt\n")) << packed;

    // Only the leading local folder leaves the remote name; a refused upload does not stop the batch.
    writeFile(odd.file("x" + odd.path() + "/b.txt"), "b");
    writeFile(odd.file("refused.txt"), "r");
    r = runDorvan(
        {.input = useServer(server, "--local " + odd.path() + " --recurse true") +
                  "mput --justprint true --include *b.txt\nmput --justprint false --include *refused*|*b.txt\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, " found " + odd.path() + "/x" + odd.path() + "/b.txt to x" + odd.path() + "/b.txt\n"))
        << out;
    EXPECT_TRUE(contains(out, "Upload " + odd.path() + "/refused.txt failure, 550 Transfer refused.\n")) << out;
    EXPECT_TRUE(contains(out, " 1 files uploaded to /, 1 failed\n")) << out;
    EXPECT_EQ(readFile(server.path("x" + odd.path() + "/b.txt")), "b");
    EXPECT_FALSE(fileExists(server.path("refused.txt")));
}

TEST(BatchEndToEnd, MputSameSizeComparesAllSixtyFourBits) {
    TestServer server;
    TempDir local;
    createSparseFile(local.file("big.bin"), (1ull << 31) + 5);
    createSparseFile(server.path("big.bin"), (1ull << 31) + 5);
    RunResult r =
        runDorvan({.input = useServer(server) + "mput\nmput --local " + local.path() + " --overwrite false\nquit\n"});
    EXPECT_EQ(consoleLines(r.out),
              " connected to 127.0.0.1\n Loggedin\nmput failure: local folder for FTP transfer not specified\n" +
                  help("mput") + " mput skiped, same size: " + local.path() +
                  "/big.bin\n 0 files uploaded to /\n FTP closed\n");
    EXPECT_FALSE(contains(server.log(), "STOR"));
}

TEST(BatchEndToEnd, NamesWithABackslashNeverBecomePathsInAnArchiveOrOnAWindowsServer) {
    TestServer plain, windows({.mode = "windows"});
    TempDir local, data;
    const std::string evil = local.file("..\\..\\evil.txt");
    writeFile(evil, "evil");
    writeFile(local.file("ok.txt"), "ok");
    const std::string refused = "Upload " + evil + " failure, \"\\\" in its name separates folders ";
    RunResult r = runDorvan({.input = useServer(plain, "--local " + local.path()) + "mput --compress pack.zip\nquit\n",
                             .dataHome = data.path()});
    EXPECT_TRUE(contains(consoleLines(r.out), refused + "in the archive\n 1/1 Uploading ")) << r.out;
    EXPECT_TRUE(contains(consoleLines(r.out), " 1 files uploaded to /, 1 failed\n")) << r.out;
    const std::string packed = commandOutput("unzip -l " + plain.path("pack.zip"));
    EXPECT_TRUE(contains(packed, " ok.txt\n") && !contains(packed, "evil")) << packed;

    r = runDorvan({.input = useServer(windows, "--local " + local.path()) + "mput\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), refused + "on the server\n 1/1 Uploading ok.txt to ok.txt ...\n"
                                                        " 1 files uploaded to /, 1 failed\n"))
        << r.out;
    EXPECT_EQ(treeOf(windows.root()), std::vector<std::string>{"ok.txt"});
    EXPECT_EQ(readFile(evil), "evil");
}
