// Transfers tried again after failures that may pass: cut downloads going on
// where they stopped, permanent refusals and --retries 0 reported as before,
// an interrupted wait, a part kept from one run for the next, and cut uploads.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <regex>

#include <sys/stat.h>
#include <unistd.h>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

// The byte counts the server logged for the transfers of `file` ("RETR /path completed=1 bytes=N"), in order.
std::vector<uint64_t> transferred(const TestServer& server, const std::string& verb, const std::string& file) {
    const std::string log = server.log();
    const std::regex line(verb + " " + server.path(file) + " completed=[01] bytes=([0-9]+)");
    std::vector<uint64_t> bytes;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        bytes.push_back(std::stoull((*it)[1]));
    return bytes;
}

// The offsets of the REST commands the server received.
std::vector<uint64_t> restarts(const TestServer& server) {
    const std::string log = server.log();
    const std::regex line("<- REST ([0-9]+)");
    std::vector<uint64_t> offsets;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        offsets.push_back(std::stoull((*it)[1]));
    return offsets;
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::ranges::sort(names);
    return names;
}

}  // namespace

TEST(RetryEndToEnd, CutDownloadsGoOnWhereTheyStoppedUnlessTheFileChanged) {
    const std::string content = randomBytes(1'000'000);
    {
        TestServer server({.faults = {"cut-first=-c"}});
        writeFile(server.path("big-c.bin"), content);
        TempDir local;
        RunResult r =
            runDorvan({.input = useServer(server, "--local " + local.path() + " --retrywait 1 --errorlevel true") +
                                "mget\nquit\n"});
        const std::string out = consoleLines(r.out);
        EXPECT_TRUE(contains(out,
                             " retry 1 of 3 in 1 s: big-c.bin: 426 Connection reset; transfer aborted.\n"
                             "1 files saved to " +
                                 local.path() + "/\n"))
            << out;
        EXPECT_EQ(r.exitStatus, 0) << "a file that arrives after a retry is a success";
        EXPECT_TRUE(contains(r.log(), "Warn   Dorvan -  retry 1 of 3 in 1 s: big-c.bin: 426 ")) << r.log();
        EXPECT_EQ(readFile(local.file("big-c.bin")), content);
        // The second RETR went on after the bytes that had arrived: REST named them, and the
        // server sent only the rest.
        const std::vector<uint64_t> sent = transferred(server, "RETR", "big-c.bin");
        const std::vector<uint64_t> offsets = restarts(server);
        ASSERT_EQ(sent.size(), 2u) << server.log();
        ASSERT_EQ(offsets.size(), 1u) << server.log();
        EXPECT_GT(offsets[0], 0u);
        EXPECT_LE(offsets[0], sent[0]);
        EXPECT_EQ(offsets[0] + sent[1], content.size());
        EXPECT_EQ(entriesOf(local.path()), std::vector<std::string>{"big-c.bin"}) << "no part left behind";
    }
    // A file that grew after the cut is downloaded again from its first byte.
    TestServer grown({.faults = {"cut-first=-c", "grow-when-cut"}});
    writeFile(grown.path("grow-c.bin"), content);
    TempDir local;
    RunResult r = runDorvan({.input = useServer(grown, "--local " + local.path() + " --retrywait 1") + "mget\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), " retry 1 of 3 in 1 s: grow-c.bin: 426 ")) << consoleLines(r.out);
    EXPECT_EQ(readFile(local.file("grow-c.bin")), readFile(grown.path("grow-c.bin")));
    EXPECT_GT(readFile(local.file("grow-c.bin")).size(), content.size());
    EXPECT_TRUE(restarts(grown).empty()) << grown.log();
}

TEST(RetryEndToEnd, PermanentFailuresAndNoRetriesAreReportedAsBefore) {
    for (const char* retries : {"3", "0"}) {
        SCOPED_TRACE(retries);
        TestServer server({.faults = {"refuse-marked-transfers", "cut-first=-c"}});
        writeFile(server.path("refused.bin"), "never sent");
        writeFile(server.path("x-c.bin"), randomBytes(300'000));
        TempDir local;
        RunResult r =
            runDorvan({.input = useServer(server, "--local " + local.path() + " --retrywait 1 --retries " + retries) +
                                "mget\nget --src refused.bin\nquit\n"});
        const std::string out = consoleLines(r.out);
        const std::string l = local.path() + "/";
        const std::string refused = "Download refused.bin failed, 550 Transfer refused.\n";
        if (std::string(retries) == "0") {
            EXPECT_TRUE(contains(out, " 1/2 Downloading refused.bin to " + l + "refused.bin... \n" + refused +
                                          " 2/2 Downloading x-c.bin to " + l +
                                          "x-c.bin... \nDownload x-c.bin failed, 426 Connection reset; transfer "
                                          "aborted.\n0 files saved to " +
                                          l + ", 2 failed\n"))
                << out;
            EXPECT_TRUE(entriesOf(local.path()).empty()) << "nothing partial is left behind";
        } else {
            EXPECT_TRUE(contains(out, refused + " 2/2 Downloading x-c.bin")) << out;
        }
        EXPECT_EQ(count(out, " retry "), std::string(retries) == "0" ? 0u : 1u) << out;
        EXPECT_TRUE(contains(out, "\nget refused.bin failure: 550 Transfer refused.\n")) << out;
        EXPECT_EQ(count(server.log(), "<- RETR refused.bin"), 2u) << "one try per command";
    }
}

TEST(RetryEndToEnd, InterruptEndsTheWaitAtOnce) {
    TestServer server({.faults = {"refuse-first=450:x"}});
    writeFile(server.path("x.txt"), "later");
    TempDir local;
    DorvanProcess process(
        {.input = useServer(server, "--local " + local.path() + " --retrywait 600") + "get --src x.txt\n"});
    ASSERT_TRUE(process.waitForOutput(" retry 1 of 3 in 600 s: x.txt: 450 ", 10s)) << process.out();
    const auto started = std::chrono::steady_clock::now();
    process.sendSignal(SIGINT);
    RunResult r = process.wait(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    EXPECT_TRUE(contains(consoleLines(r.out), "get x.txt failure: 450 Refused for a test, try again.\n FTP closed\n"))
        << consoleLines(r.out);
    EXPECT_EQ(count(server.log(), "<- RETR x.txt"), 1u);
}

// A part kept for the next run is a hidden, owner-only file named for the remote file it belongs to, and a
// later run continues it only while it is the program's own: a link or a FIFO planted under its name is left
// alone and the file comes whole. A remote "data.csv.partial" is a file like any other, a replaced file keeps
// its mode, and a killed run's temporary goes while a running one's stays.
TEST(RetryEndToEnd, AKeptPartIsTakenOnlyWhenItIsTheProgramsOwn) {
    TestServer server({.faults = {"cut-first=-c"}});
    const std::string content = randomBytes(1'000'000, 7);
    writeFile(server.path("big-c.bin"), content);
    writeFile(server.path("data.csv"), "a,b\n1,2\n");
    writeFile(server.path("data.csv.partial"), "another file\n");
    TempDir base;
    writeFile(base.file("outside/victim.txt"), "victim");
    const std::string local = base.file("in");
    std::filesystem::create_directory(local);
    const std::string setup = useServer(server, "--local " + local + "/ --resume true");
    RunResult first = runDorvan({.input = setup + "set --retries 0\nget --src big-c.bin\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(first.out), "get big-c.bin failure: 426 ")) << consoleLines(first.out);
    const std::vector<std::string> kept = entriesOf(local);
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_TRUE(kept[0].starts_with(".big-c.bin.resume-") && kept[0].ends_with(".part")) << kept[0];
    const std::string partPath = local + "/" + kept[0];
    const std::string part = readFile(partPath);
    EXPECT_EQ(part, content.substr(0, part.size()));
    EXPECT_EQ(std::filesystem::status(partPath).permissions(), std::filesystem::perms(0600));
    std::filesystem::rename(partPath, base.file("own.part"));

    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "a link to a file outside" : "a FIFO");
        ASSERT_EQ(link ? symlink("../outside/victim.txt", partPath.c_str()) : mkfifo(partPath.c_str(), 0600), 0);
        RunResult r = runDorvan({.input = setup + "get --src big-c.bin\nquit\n", .timeout = 30s});
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(readFile(local + "/big-c.bin"), content);
        EXPECT_EQ(readFile(base.file("outside/victim.txt")), "victim");
        const auto planted = std::filesystem::symlink_status(partPath).type();
        EXPECT_EQ(planted, link ? std::filesystem::file_type::symlink : std::filesystem::file_type::fifo);
        std::filesystem::remove(partPath);
    }
    EXPECT_TRUE(restarts(server).empty()) << server.log();

    std::filesystem::rename(base.file("own.part"), partPath);
    std::filesystem::permissions(local + "/big-c.bin", std::filesystem::perms(0600));
    char running[64];
    std::snprintf(running, sizeof running, ".big-c.bin.%x-0-1.part", static_cast<unsigned>(getpid()));
    writeFile(local + "/" + running, "a running writer's");
    writeFile(local + "/.big-c.bin.7ffffffe-0-1.part", "a killed writer's");
    RunResult last = runDorvan({.input = setup + "mget\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(last.out), "\n3 files saved to ")) << consoleLines(last.out);
    EXPECT_EQ(restarts(server), std::vector<uint64_t>{part.size()}) << server.log();
    EXPECT_EQ(readFile(local + "/big-c.bin"), content);
    EXPECT_EQ(readFile(local + "/data.csv"), "a,b\n1,2\n");
    EXPECT_EQ(readFile(local + "/data.csv.partial"), "another file\n");
    EXPECT_EQ(std::filesystem::status(local + "/big-c.bin").permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(entriesOf(local), (std::vector<std::string>{running, "big-c.bin", "data.csv", "data.csv.partial"}));
    EXPECT_EQ(readFile(server.path("big-c.bin")), content);
}

// A cut upload with resume goes through a temporary name of its own: the retry continues those bytes, and the
// file is renamed over the old one (deleted first where the server renames over no file). Without resume, the
// retry sends the whole file to the target again.
TEST(RetryEndToEnd, CutUploadsContinueOnlyTheirOwnTemporaryFile) {
    const std::string content = randomBytes(300'000, 11);
    for (const bool resume : {true, false}) {
        SCOPED_TRACE(resume);
        TestServer server({.faults = {"cut-first=-u", "refuse-rename-over"}});
        writeFile(server.path("big-u.bin"), std::string(600, 'o'));
        TempDir local;
        writeFile(local.file("big-u.bin"), content);
        const std::string setup = useServer(
            server, "--local " + local.path() + " --retrywait 1 --debug 1 --resume " + (resume ? "true" : "false"));
        RunResult r = runDorvan({.input = setup + "put --src big-u.bin\nquit\n"});
        const std::string out = consoleLines(r.out);
        EXPECT_TRUE(contains(out, " retry 1 of 3 in 1 s: big-u.bin: 426 ")) << out;
        EXPECT_EQ(readFile(server.path("big-u.bin")), content);
        EXPECT_EQ(readFile(local.file("big-u.bin")), content);
        EXPECT_EQ(entriesOf(server.root()), std::vector<std::string>{"big-u.bin"}) << "no temporary file stays";
        const std::vector<uint64_t> offsets = restarts(server);
        EXPECT_EQ(offsets.size(), resume ? 1u : 0u) << server.log();
        if (resume && !offsets.empty()) {
            EXPECT_GE(offsets[0], 100'000u);
        }
        EXPECT_EQ(contains(out, " big-u.bin deleted before the rename: the server renames over no file\n"), resume)
            << out;
    }
}

TEST(RetryEndToEnd, AReconnectGoesBackToTheSameFolderOrTheCommandStops) {
    // The login lands in /home/u; the new login after the 421 lands in "/".
    const std::string first = R"({"commands": {"PWD": [{"send": "257 \"/home/u\" is current.\r\n"}],
        "LIST": [{"send": "150 Here.\r\n"}, {"data": "-rw-r--r-- 1 u g 1 Jan 01 2020 old2.tmp\r\n-rw-r--r-- 1 u g 1 Jan 01 2020 old3.tmp\r\n"},
                 {"send": "226 Done.\r\n"}],
        "DELE old2.tmp": [{"send": "421 Going down.\r\n"}, {"close": true}]}})";
    const std::string elsewhere =
        R"("PWD": [{"send": "257 \"/\" is current.\r\n"}], "DELE": [{"send": "250 Deleted.\r\n"}])";
    for (const bool folderThere : {true, false}) {
        SCOPED_TRACE(folderThere);
        const std::string second =
            folderThere
                ? R"({"commands": {)" + elsewhere +
                      R"(}, "folders": {"/home/u": {"PWD": [{"send": "257 \"/home/u\" is current.\r\n"}]}}})"
                : R"({"commands": {)" + elsewhere + R"(, "CWD /home/u": [{"send": "550 No such folder.\r\n"}]}})";
        TestServer server({.script = R"({"connections": [)" + first + ", " + second + "]}"});
        RunResult r =
            runDorvan({.input = useServer(server, "--retrywait 1") + "cwd --name in\nmdele --include *.tmp\nquit\n"});
        const std::string out = consoleLines(r.out);
        const std::string log = server.log();
        EXPECT_TRUE(contains(out, " retry 1 of 3 in 1 s: old2.tmp: 421 Going down.\n")) << out;
        if (folderThere) {
            EXPECT_TRUE(contains(log, "<- CWD /home/u\n<- PWD\n<- CWD in\n<- DELE old2.tmp\n<- DELE old3.tmp\n"))
                << log;
            EXPECT_TRUE(contains(out, " reconnected to 127.0.0.1\n 2/2 delting old3.tmp...\n mdele: 2 files deleted"))
                << out;
        } else {
            EXPECT_TRUE(contains(out,
                                 "reconnect to 127.0.0.1 failure: folder '/home/u/in' not found again, 550 No such "
                                 "folder.\ndelete failure: 'old2.tmp'\n mdele: 0 files deleted on , 1 failed\n"))
                << out;
            EXPECT_EQ(count(log, "<- DELE"), 1u) << "nothing runs elsewhere\n" << log;
            EXPECT_FALSE(contains(log, "<- CWD in\n<- DELE")) << log;
        }
    }
}

// A download goes on after a cut only while the remote file has the size and time it had before the first byte,
// and its bytes must add up to the announced size: a server that ignores REST gets one more try from the first
// byte, one that keeps sending fails the file, nothing wrong is ever saved.
TEST(RetryEndToEnd, AContinuedDownloadIsTheSameFileAndTheBytesAddUp) {
    auto letters = [](size_t size, int step) {
        std::string text(size, 'a');
        for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (i * static_cast<size_t>(step)) % 26);
        return text;
    };
    const std::string old = letters(10'240, 7), replaced = letters(10'240, 11);
    const std::string features =
        R"("FEAT": [{"send": "211-Features:\r\n REST STREAM\r\n SIZE\r\n MDTM\r\n211 End\r\n"}],
        "SIZE": [{"send": "213 10240\r\n"}], "REST": [{"send": "350 Restarting.\r\n"}])";
    auto mdtm = [](const char* time) { return std::string(R"("MDTM": [{"send": "213 )") + time + R"(\r\n"}])"; };
    const std::string cut = R"({"commands": {)" + features + ", " + mdtm("20200101000000") +
                            R"(, "RETR": [{"send": "150 Here.\r\n"}, {"data": ")" + old.substr(0, 4096) +
                            R"("}, {"close": true}]}})";
    struct Case {
        const char* what;
        std::string second;  // the connection after the cut
        std::string served;  // what RETR sends there
        size_t restarts;
    };
    const Case cases[] = {
        {"REST ignored", mdtm("20200101000000"), old, 1},
        {"replaced after the cut", mdtm("20240101000000"), replaced, 0},
        {"no time to the second", R"("MDTM": [{"send": "502 No.\r\n"}])", old, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestServer server({.script = R"({"connections": [)" + cut + R"(, {"commands": {)" + features + ", " + c.second +
                                     R"(}}], "files": {"f.bin": ")" + c.served + R"("}})"});
        TempDir local;
        RunResult r = runDorvan(
            {.input = useServer(server, "--local " + local.path() + " --retrywait 1") + "get --src f.bin\nquit\n"});
        EXPECT_TRUE(contains(consoleLines(r.out), " reconnected to 127.0.0.1\n")) << consoleLines(r.out);
        EXPECT_EQ(readFile(local.file("f.bin")), c.served);
        EXPECT_EQ(restarts(server).size(), c.restarts) << server.log();
        EXPECT_EQ(entriesOf(local.path()), std::vector<std::string>{"f.bin"});
    }
    // Listed at 10 bytes, then sending on: each try stops there, and nothing is saved.
    TestServer endless({.script = R"({"connections": [{"commands": {
        "LIST": [{"send": "150 Here.\r\n"}, {"data": "-rw-r--r-- 1 u g 10 Jan 01 2020 f.bin\r\n"}, {"send": "226 Done.\r\n"}],
        "RETR": [{"send": "150 Here.\r\n"}, {"data": ")" +
                                  old + R"("}, {"send": "226 Done.\r\n"}]}}]})"});
    TempDir local;
    RunResult r = runDorvan(
        {.input = useServer(endless, "--local " + local.path() + " --retries 1 --retrywait 1") + "mget\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out),
                         "Download f.bin failed, Download failed: more than the 10 bytes announced arrived\n"))
        << consoleLines(r.out);
    EXPECT_TRUE(entriesOf(local.path()).empty());
}
