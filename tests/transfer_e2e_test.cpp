// get and put of single files, and ZIP packing of uploads, against a real server.
#include <gtest/gtest.h>

#include <dirent.h>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;

namespace {

std::vector<std::string> folderEntries(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

}  // namespace

TEST(TransferEndToEnd, RoundTripsInImageAndAsciiTypes) {
    TestServer server;
    TempDir local;
    const std::string binary = randomBytes(300'000) + "\r\n\r\r\n";
    const std::string text = "first\nsecond line\n" + std::string(20'000, 'L') + "\nlast\n";
    writeFile(local.file("bin.dat"), binary);
    writeFile(local.file("text.txt"), text);
    for (const char* passive : {"true", "false"}) {
        std::string setup = useServer(server, std::string("--passive ") + passive + " --local " + local.path());
        RunResult r = runDorvan({.input = setup + "put --src bin.dat\nget --src bin.dat --dst copy.dat\n"
                                                  "put --src text.txt --image false --dst text-up.txt\n"
                                                  "get --src text-up.txt --dst text-down.txt\nstatus\nquit\n"});
        std::string out = consoleLines(r.out);
        EXPECT_TRUE(contains(out, " uploading " + local.file("bin.dat") + " to bin.dat\n dowloading bin.dat to " +
                                      local.file("copy.dat") + " ...\n"))
            << out;
        EXPECT_FALSE(contains(out, "failure")) << out;
        EXPECT_TRUE(contains(out, " image       : ascii\n")) << out;
        EXPECT_FALSE(contains(out, " src ")) << "src and dst are one-shot";
        EXPECT_EQ(readFile(server.path("bin.dat")), binary);
        EXPECT_EQ(readFile(local.file("copy.dat")), binary);
        EXPECT_EQ(readFile(server.path("text-up.txt")), text);
        EXPECT_EQ(readFile(local.file("text-down.txt")), text);
    }
    // ASCII type puts CR LF on the wire whatever the server stores.
    writeFile(server.path("crlf.txt"), "a\r\nb\n");
    RunResult r =
        runDorvan({.input = useServer(server, "--local " + local.path()) + "get --src crlf.txt --image false\nquit\n"});
    EXPECT_EQ(readFile(local.file("crlf.txt")), "a\nb\n");
}

TEST(TransferEndToEnd, ImageFilesLargerThanAnyBufferArriveByteExact) {
    TestServer server;
    TempDir local;
    const std::string content = randomBytes(5 * 1024 * 1024 + 12'345, 7);
    writeFile(local.file("large.bin"), content);
    writeFile(local.file("old.bin"), "an older, shorter copy");
    for (const char* passive : {"true", "false"}) {
        RunResult r =
            runDorvan({.input = useServer(server, std::string("--passive ") + passive + " --local " + local.path()) +
                                "put --src large.bin\nget --src large.bin --dst old.bin\nquit\n"});
        EXPECT_FALSE(contains(consoleLines(r.out), "failure")) << r.out;
        EXPECT_TRUE(readFile(server.path("large.bin")) == content) << passive;
        EXPECT_TRUE(readFile(local.file("old.bin")) == content) << passive;
        writeFile(local.file("old.bin"), "an older, shorter copy");
    }
}

TEST(TransferEndToEnd, ChecksOneShotSettingsAndOverwriteBySize) {
    TestServer server;
    TempDir local;
    writeFile(server.path("same.txt"), "12345");
    writeFile(server.path("other.txt"), "server copy");
    writeFile(local.file("same.txt"), "abcde");
    writeFile(local.file("other.txt"), "local");
    std::string setup = useServer(server);
    RunResult r = runDorvan(
        {.input = setup + "get --src same.txt\nset --local " + local.path() +
                  "\nget --src a/b.txt\nstatus\nget --src x --dst c\\d\nput --src a/b\nput --src ok --dst a\\b\n"
                  "put --src nofile --dst nofile\nput\nset --overwrite false\nget --src same.txt\n"
                  "get --src other.txt\nput --src same.txt\nset --debug 1\nget\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out,
                         " Loggedin\nget failure: local folder for FTP transfer not specified\n"
                         "Invalid a/b.txt format\n"))
        << out;
    EXPECT_TRUE(contains(out, " src         : a/b.txt\n")) << out;
    EXPECT_TRUE(contains(out,
                         "Invalid c\\d format\nInvalid format: 'a/b'\nInvalid format 'a\\b'\n"
                         "put failure: specified file '" +
                             local.file("nofile") +
                             "' does not exists\n"
                             " put failure: source file to transfer not specified\n"
                             " skiped, same size 'same.txt'\n dowloading other.txt to " +
                             local.file("other.txt") + " ...\n skiped, same size '" + local.file("same.txt") +
                             "'\n"
                             "get failure: source file for FTP transfer not specified\n receive one file\n"))
        << out;
    EXPECT_EQ(readFile(local.file("same.txt")), "abcde");
    EXPECT_EQ(readFile(local.file("other.txt")), "server copy");
    EXPECT_EQ(readFile(server.path("same.txt")), "12345");
}

TEST(TransferEndToEnd, FailedTransfersNeverDestroyTheLocalFile) {
    TempDir local;
    const std::string precious = "precious local content";
    for (const char* fault : {"", "drop-mid-transfer", "fail-after-transfer"}) {
        TestServer server({.faults = *fault ? std::vector<std::string>{fault} : std::vector<std::string>{}});
        writeFile(server.path("big.bin"), randomBytes(2'000'000));
        writeFile(local.file("big.bin"), precious);
        std::string command = *fault ? "get --src big.bin\n" : "get --src missing.bin --dst big.bin\n";
        RunResult r = runDorvan({.input = useServer(server, "--local " + local.path()) + command + "quit\n"});
        std::string out = consoleLines(r.out);
        EXPECT_TRUE(contains(out, *fault ? "get big.bin failure: " : "get missing.bin failure: 550 ")) << fault << out;
        EXPECT_EQ(readFile(local.file("big.bin")), precious) << fault;
        EXPECT_EQ(folderEntries(local.path()), std::vector<std::string>{"big.bin"}) << fault;
    }
    TestServer failing({.faults = {"fail-after-transfer"}});
    RunResult r = runDorvan({.input = useServer(failing, "--local " + local.path()) + "put --src big.bin\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), " put " + local.file("big.bin") + " to big.bin failure: 451 ")) << r.out;
}

TEST(TransferEndToEnd, CompressedUploads) {
    TestServer server;
    TempDir local, data;
    writeFile(local.file("report.txt"), "quarterly figures\n");
    writeFile(local.file("caf\xC3\xA9.txt"), randomBytes(4000));
    setModificationTime(local.file("report.txt"), 1'600'000'000);
    std::string setup = useServer(server, "--local " + local.path());
    RunResult r = runDorvan({.input = setup +
                                      "put --src report.txt --compress files.zip\nstatus\n"
                                      "put --src caf\xC3\xA9.txt --compress " +
                                      local.file("out.zip") + " --dst named.zip --image false\nquit\n",
                             .dataHome = data.path()});
    std::string archive = data.path() + "/Tolvane/Dorvan/files.zip";
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, " uploading " + archive + " to files.zip\n")) << out;
    EXPECT_FALSE(contains(out, "compress")) << "compress is one-shot";
    EXPECT_TRUE(contains(out, " uploading " + local.file("out.zip") + " to named.zip\n")) << out;
    EXPECT_EQ(readFile(server.path("files.zip")), readFile(archive));
    EXPECT_EQ(run("unzip -t " + server.path("files.zip")), 0);
    EXPECT_EQ(run("unzip -t " + server.path("named.zip")), 0);
    EXPECT_EQ(readFile(server.path("named.zip")), readFile(local.file("out.zip")));
    std::string serverLog = server.log();
    size_t store = serverLog.find("<- STOR named.zip");
    ASSERT_NE(store, std::string::npos) << serverLog;
    EXPECT_EQ(serverLog.substr(serverLog.rfind("<- TYPE ", store), 9), "<- TYPE I") << "archives travel as binary";
    std::string check =
        "/usr/bin/python3 -c \"import zipfile,sys,time;z=zipfile.ZipFile(sys.argv[1]);"
        "i=z.infolist();assert [x.filename for x in i]==['report.txt'],i;"
        "assert z.read('report.txt')==b'quarterly figures\\n';"
        "assert abs(time.mktime(i[0].date_time+(0,0,-1))-1600000000)<=2,i[0].date_time\" ";
    EXPECT_EQ(run(check + server.path("files.zip")), 0);

    // A source that cannot be packed: a folder where the file should be.
    writeFile(local.file("folder.txt/inside"), "x");
    r = runDorvan(
        {.input = setup + "put --src folder.txt --compress bad.zip\nstatus\nquit\n", .dataHome = data.path()});
    out = consoleLines(r.out);
    std::string badArchive = data.path() + "/Tolvane/Dorvan/bad.zip";
    EXPECT_TRUE(contains(out, "createArchive " + badArchive + " failed: ")) << out;
    EXPECT_TRUE(contains(out, "\nadd files to ZIP archive failure: " + badArchive + "\n")) << out;
    EXPECT_FALSE(contains(out, " compress ")) << out;
    EXPECT_FALSE(fileExists(server.path("bad.zip")));
}

TEST(TransferEndToEnd, AFolderThatFailsItsCheckStopsTheCommandOnItsLine) {
    TestServer server;
    TempDir local;
    writeFile(server.path("sub/keep.txt"), "kept");
    writeFile(server.path("old.tmp"), "old");
    writeFile(server.path("a.txt"), "server a");
    writeFile(local.file("up.txt"), "up");
    const std::string cwdFailed = "change working directory to '/missing' failure: 550 No such file or directory.\n";
    struct Case {
        std::string line, console;
    } cases[] = {
        // Before the login the login enters the folder.
        {"put --remote /missing/ --src up.txt", " connected to 127.0.0.1\n" + cwdFailed + " Loggedin\n"},
        {"mput --remote /missing/ --recurse true", cwdFailed},
        {"mget --local " + local.file("none"), "specified local '" + local.file("none") + "' does not exists\n"},
        {"mdelete --remote \\missing\\ --include *.tmp", cwdFailed},
        {"rmdir --remote /missing --name sub --recurse true", cwdFailed},
        // A rejected filter stops a removal as well: it would delete more than asked.
        {"mdele --include * --lsize abc", "Invalid lsize parameter 'abc'\n"},
        {"recv --src a.txt --lcd " + local.file("up.txt"),
         "specified local '" + local.file("up.txt") + "' is not a folder\n"},
        // Other lines report and go on; the one-shot values of the lines above are gone.
        {"set --remote /missing/", cwdFailed},
        {"get --dst a.txt", "get failure: source file for FTP transfer not specified\n"},
        {"get --src a.txt", " dowloading a.txt to " + local.file("a.txt") + " ...\n"},
    };
    std::string input = useServer(server, "--local " + local.path()), expected;
    for (const Case& c : cases) {
        input += c.line + "\n";
        expected += c.console;
    }
    RunResult r = runDorvan({.input = input + "quit\n"});
    EXPECT_EQ(consoleLines(r.out), expected + " FTP closed\n");
    EXPECT_EQ(folderEntries(server.root()), (std::vector<std::string>{"a.txt", "old.tmp", "sub"}));
    EXPECT_EQ(readFile(server.path("sub/keep.txt")), "kept");
    EXPECT_EQ(folderEntries(local.path()), (std::vector<std::string>{"a.txt", "up.txt"}));
}

TEST(TransferEndToEnd, NamesAtTheFileSystemLimitDownload) {
    TestServer server;
    TempDir local;
    const std::string names[] = {std::string(251, 'g') + ".txt", std::string(250, 'm') + ".bin"};
    writeFile(server.path(names[0]), "got");
    writeFile(server.path("batch/" + names[1]), "batched");
    RunResult r = runDorvan({.input = useServer(server, "--local " + local.path()) + "get --src " + names[0] +
                                      "\nmget --remote /batch\nquit\n"});
    EXPECT_FALSE(contains(r.out, "failure")) << r.out;
    EXPECT_EQ(readFile(local.file(names[0])), "got");
    EXPECT_EQ(readFile(local.file(names[1])), "batched");
    EXPECT_EQ(folderEntries(local.path()), (std::vector<std::string>{names[0], names[1]}));
}
