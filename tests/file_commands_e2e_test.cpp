// dele, mkd, rename, size, mdtm, list and nlst against a real server.
#include <gtest/gtest.h>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;

TEST(FileCommandsEndToEnd, SizesAndModificationTimes) {
    TestServer server;
    writeFile(server.path("f512"), std::string(512, 'a'));
    writeFile(server.path("f513"), std::string(513, 'a'));
    writeFile(server.path("f1m"), std::string(1048576, 'a'));
    createSparseFile(server.path("big.bin"), 5ULL << 30);
    setModificationTime(server.path("f512"), 1'577'880'000);  // 2020-01-01 12:00:00 UTC
    RunResult r =
        runDorvan({.input = useServer(server) +
                            "size --name f512\nsize --name f513\nsize --name f1m\nsize --name big.bin\n"
                            "mdtm --name f512\nsize --name nothing\nmdtm --name nothing\nsize\nmdtm\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_EQ(out,
              " connected to 127.0.0.1\n Loggedin\n"
              " f512: 512 bytes\n"
              " f513: 513 bytes, 0.50 KB\n"
              " f1m: 1048576 bytes, 1024.00 KB, 1.00 MB\n"
              " big.bin: 5368709120 bytes, 5242880.00 KB, 5120.00 MB\n"
              " f512: 20200101120000\n"
              "determine the size of nothing failure, 550 /nothing is not retrievable.\n"
              "determine the modification date of nothing failure, 550 /nothing is not retrievable\n"
              " size failure: file name for determine the size not specified\n" +
                  help("size") + "mdtm failure: file name for determine the modification date not specified\n" +
                  help("mdtm") + " FTP closed\n")
        << out;
}

TEST(FileCommandsEndToEnd, DeleteMakeRenameAndOneShotNames) {
    TestServer server;
    writeFile(server.path("old.txt"), "x");
    writeFile(server.path("gone.txt"), "x");
    RunResult r = runDorvan(
        {.input = useServer(server) +
                  "dele --name gone.txt\ndele\ndele --name gone.txt\nmkd --name newdir\nmkd\nmkd --name newdir\n"
                  "rename --src old.txt --dst newdir/new.txt\nrename --src old.txt\nrename\n"
                  "rename --dst x\nstatus\nset --debug 1\ndele\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out,
                         " deleting gone.txt ...\n dele failure: file name not specified\n"
                         " deleting gone.txt ...\ndele gone.txt failure, 550 No such file or directory.\n"
                         " made dir newdir\nmkd failure: diretory name not specified\n"
                         "mkd failure: dir newdir, 550 File exists.\n"
                         " old.txt renamed to newdir/new.txt\n"))
        << out;
    // rename keeps src when dst is missing: the next rename finds src set.
    EXPECT_TRUE(contains(out, " rename failure: destination file for rename not specified\n" + help("rename") +
                                  " rename failure: destination file for rename not specified\n" + help("rename")))
        << out;
    EXPECT_TRUE(contains(out, "rename old.txt to x failure: 550 ")) << out;
    EXPECT_FALSE(contains(out, " src         :")) << out;
    EXPECT_TRUE(contains(out, " dele failure: file name not specified\n" + help("dele"))) << out;
    EXPECT_FALSE(fileExists(server.path("gone.txt")));
    EXPECT_EQ(readFile(server.path("newdir/new.txt")), "x");

    TestServer refusing({.faults = {"refuse-dele"}});
    writeFile(refusing.path("kept.txt"), "x");
    r = runDorvan({.input = useServer(refusing) + "dele --name kept.txt\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), " deleting kept.txt ...\ndele kept.txt failure, 550 Access is denied.\n"))
        << r.out;
    EXPECT_TRUE(fileExists(refusing.path("kept.txt")));
}

TEST(FileCommandsEndToEnd, ListingsGoToStandardOutputInOrder) {
    TestServer server({.faults = {"long-listing-line"}});
    writeFile(server.path("sub/one.txt"), "1");
    writeFile(server.path("sub/two.txt"), "22");
    writeFile(server.path("top.txt"), "x");
    RunResult r =
        runDorvan({.input = useServer(server) + "list --name sub\nnlst --name sub\nstatus\nls\nnlst --name nothing\n"
                                                "response\nquit\n"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.termSignal, 0);
    std::string out = consoleLines(r.out);
    size_t list = out.find(" one.txt\n"), nlst = out.find("\none.txt\n"), status = out.find(" isConnected");
    ASSERT_NE(list, std::string::npos) << out;
    ASSERT_NE(nlst, std::string::npos) << out;
    EXPECT_LT(list, nlst);
    EXPECT_LT(nlst, status);
    EXPECT_FALSE(contains(out, " name ")) << "list and nlst clear name";
    EXPECT_TRUE(contains(out, std::string(10'000, 'n'))) << "the 20,000-byte line arrives whole";
    EXPECT_TRUE(contains(out, " top.txt\n")) << out;
    EXPECT_FALSE(contains(r.log(), "one.txt")) << "listings are not logged";
}
