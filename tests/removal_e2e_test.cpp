// rmd and mdele against a real server.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;
namespace fs = std::filesystem;

namespace {

// t/a.txt, t/sub/b.txt, t/sub/deeper/c.txt and t/z.txt below `folder`.
void writeTree(const TestServer& server, const std::string& folder) {
    for (const char* file : {"a.txt", "sub/b.txt", "sub/deeper/c.txt", "z.txt"})
        writeFile(server.path(folder + "/" + file), "x");
}

std::string foundFiles(const std::string& prefix) {
    return " found file: " + prefix + "a.txt\n found file: " + prefix + "sub/b.txt\n found file: " + prefix +
           "sub/deeper/c.txt\n found file: " + prefix + "z.txt\n";
}

std::string foundFolders(const std::string& prefix) {
    return " found folder: " + prefix + "sub/deeper\n found folder: " + prefix + "sub\n";
}

}  // namespace

TEST(RemovalEndToEnd, RmdEmptiesATreeDepthFirst) {
    TestServer server;
    writeTree(server, "t");
    writeTree(server, "quiet");
    writeFile(server.path("full/x.txt"), "x");
    RunResult r = runDorvan({.input = useServer(server) + "rmd\nset --debug 1\nrmd\nset --debug 2\nrmd\nset --debug 0\n"
                                                          "rmd --name full\nrmd\n"
                                                          "rmd --name t --recurse true --justprint true\n"
                                                          "rmd --name / --justprint true\n"
                                                          "set --justprint false --debug 1\nrmd --name t\n"
                                                          "set --debug 2\nrmd --name quiet\nquit\n"});
    const std::string missing = " rmd failure, directory name for remove not specified\n" + help("rmd");
    std::string expected = " connected to 127.0.0.1\n Loggedin\n" + missing + missing + missing +
                           "remove dir 'full' failure, 550 Directory not empty.\n" + missing + foundFiles("t/") +
                           foundFolders("t/") +  // the dry run of "/" in walk order:
                           " found file: /full/x.txt\n" + foundFiles("/quiet/") + foundFiles("/t/") +
                           " found folder: /full\n" + foundFolders("/quiet/") + " found folder: /quiet\n" +
                           foundFolders("/t/") + " found folder: /t\n" +
                           " deleted file 't/a.txt'\n deleted file 't/sub/b.txt'\n deleted file 't/sub/deeper/c.txt'\n"
                           " removed folder t/sub/deeper \n removed folder t/sub \n deleted file 't/z.txt'\n"
                           " directory 't' removed\n directory 'quiet' removed\n FTP closed\n";
    EXPECT_EQ(consoleLines(r.out), expected);
    EXPECT_FALSE(fs::exists(server.path("t")));
    EXPECT_FALSE(fs::exists(server.path("quiet")));
    EXPECT_TRUE(fs::exists(server.path("full/x.txt")));
    const std::string log = r.log();
    EXPECT_TRUE(contains(log, " directory 't' removed")) << log;
    EXPECT_FALSE(contains(log, "found file") || contains(log, "deleted file") || contains(log, "removed folder"))
        << log;
}

TEST(RemovalEndToEnd, RmdStaysInsideTheFolderItWasGiven) {
    TestServer hostile({.faults = {"hostile-listing"}});
    writeFile(hostile.path("t/a.txt"), "x");
    writeFile(hostile.path("outside.txt"), "x");
    writeFile(hostile.path("outdir/keep.txt"), "x");
    fs::create_directory_symlink("../outdir", hostile.path("t/link"));
    RunResult r = runDorvan({.input = useServer(hostile, "--debug 1") + "rmd --name t --recurse true\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out,
                         " deleted file 't/a.txt'\n deleted file 't/link'\n delete file 't/..\\outside.txt' failure\n"
                         " delete file 't//outside.txt' failure\n remove folder t/x\\..\\..\\outdir failure\n"
                         " directory 't' removed\n"))
        << out;
    EXPECT_TRUE(fs::exists(hostile.path("outside.txt")));
    EXPECT_TRUE(fs::exists(hostile.path("outdir/keep.txt"))) << "a link is removed, never followed";
    EXPECT_FALSE(fs::exists(hostile.path("t")));
    EXPECT_FALSE(contains(hostile.log(), "outside.txt")) << hostile.log();

    // A folder that holds itself: taken for a loop at a fixed depth, and left out.
    TestServer looping({.faults = {"endless-tree"}});
    writeFile(looping.path("t/a.txt"), "x");
    fs::create_directory(looping.path("t/loop"));
    r = runDorvan({.input = useServer(looping, "--debug 1") + "rmd --name t --recurse true\nquit\n"});
    ASSERT_FALSE(r.timedOut);
    out = consoleLines(r.out);
    std::string deepest = "t";
    for (int i = 0; i < 65; ++i) deepest += "/loop";
    const std::string loop =
        "folder 't/loop/loop' leads back to a folder above it (listed alike down to 64 levels), "
        "left out\n";
    EXPECT_TRUE(contains(out, " deleted file 't/a.txt'\n delete '" + deepest + "' catch " + loop +
                                  " remove folder t/loop failure\nrmd failure: " + loop +
                                  "rmd failure: folder 't/loop' not removed, 550 Directory not empty.\n"
                                  "remove dir 't' failure, 550 "))
        << out;
    EXPECT_FALSE(contains(looping.log(), "RMD t/loop/loop")) << "nothing is sent for a loop";
}

TEST(RemovalEndToEnd, MdeleDeletesTheFilesAScanFinds) {
    TestServer server({.faults = {"refuse-dele=b.txt"}});
    for (const char* file : {"a.txt", "b.txt", "c.doc", "sub/d.txt", "sub/e.doc"}) writeFile(server.path(file), "x");
    RunResult r = runDorvan({.input = useServer(server) +
                                      "mdele --include *.zip\nset --debug 1\nmdele\nset --debug 0 --remote sub\nmdele\n"
                                      "set --remote / --include *.txt --justprint true\nmdele\n"
                                      "mdele --justprint false\nmdele --include * --recurse true\nquit\n"});
    EXPECT_EQ(consoleLines(r.out),
              " connected to 127.0.0.1\n Loggedin\n mdele: No file matched on 127.0.0.1\n"
              " mdele: No file matched on 127.0.0.1\n" +
                  help("mdele") +
                  " working directory changed to 'sub'\n mdele: No file matched on sub\n"
                  " working directory changed to '/'\n mdele: found a.txt\n mdele: found b.txt\n"
                  " mdele: 0 files deleted on /\n"
                  " 1/2 delting a.txt...\n 2/2 delting b.txt...\ndelete failure: 'b.txt'\n mdele: 1 files deleted on "
                  "/, 1 failed\n"
                  " 1/4 delting b.txt...\ndelete failure: 'b.txt'\n 2/4 delting c.doc...\n 3/4 delting sub/d.txt...\n"
                  " 4/4 delting sub/e.doc...\n mdele: 3 files deleted on /, 1 failed\n FTP closed\n");
    EXPECT_TRUE(fileExists(server.path("b.txt")));
    EXPECT_TRUE(fs::is_directory(server.path("sub")));
    EXPECT_FALSE(fileExists(server.path("sub/d.txt")) || fileExists(server.path("c.doc")));
    EXPECT_TRUE(contains(r.log(), "delete failure: 'b.txt'")) << r.log();

    TestServer hostile({.faults = {"hostile-listing"}});
    writeFile(hostile.path("t/a.txt"), "x");
    writeFile(hostile.path("outside.txt"), "x");
    r = runDorvan({.input = useServer(hostile, "--remote t") + "mdele\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), "delete failure: '..\\outside.txt'\n")) << r.out;
    EXPECT_TRUE(fileExists(hostile.path("outside.txt")));
    EXPECT_FALSE(fileExists(hostile.path("t/a.txt")));
}

TEST(RemovalEndToEnd, LinksAreRemovedAsEntriesAndNeverWalked) {
    // MLSD shows a link to a folder as "type=dir"; LIST shows it as a link.
    TestServer server({.faults = {"refuse-dele=stuck"}});
    writeFile(server.path("keep/t.txt"), "t");
    writeFile(server.path("rmlinks/sub/a.txt"), "a");
    writeFile(server.path("del/x.tmp"), "x");
    fs::create_directory(server.path("held"));
    for (const char* link : {"rmlinks/link-out-dir", "del/link-out-dir", "held/stuck"})
        fs::create_directory_symlink(server.path("keep"), server.path(link));
    fs::create_symlink(server.path("keep/t.txt"), server.path("rmlinks/link-file"));
    RunResult r =
        runDorvan({.input = useServer(server) +
                            "rmd --name rmlinks --recurse true\nmdele --include * --recurse true --remote del\n"
                            "rmd --name /held --recurse true\nquit\n"});
    const std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out,
                         " directory 'rmlinks' removed\n working directory changed to 'del'\n"
                         " 1/1 delting x.tmp...\n mdele: 1 files deleted on /del\n"
                         "rmd failure: '/held/stuck' not removed, 550 Access is denied.\n"
                         "remove dir '/held' failure, 550 "))
        << out;
    EXPECT_FALSE(fs::exists(server.path("rmlinks")));
    EXPECT_FALSE(fs::exists(server.path("del/x.tmp")));
    EXPECT_TRUE(fs::is_symlink(server.path("del/link-out-dir")));
    EXPECT_TRUE(fs::is_symlink(server.path("held/stuck")));
    EXPECT_EQ(readFile(server.path("keep/t.txt")), "t") << "nothing behind a link is touched";
    EXPECT_FALSE(contains(server.log(), "link-out-dir/")) << server.log();
}
