// mget, mput and mdele spread over several sessions give what one session gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

const std::vector<std::string> treeFiles = {
    "f1.txt",      "f2.txt",   "f3.txt",     "f4.txt",     "f5.txt",          "f6.txt",          "f7.txt",
    "refused.txt", "keep.txt", "sub/s1.txt", "sub/s2.txt", "sub/deep/d1.txt", "sub/deep/d2.txt", "other/o1.txt"};

void writeTree(const std::string& root) {
    unsigned seed = 0;
    for (const std::string& name : treeFiles) writeFile(root + "/" + name, name + randomBytes(30'000, ++seed));
}

// Every file under `root` with its content, in name order.
std::vector<std::string> contentOf(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        files.push_back(entry.path().string().substr(root.size()) +
                        (entry.is_regular_file() ? "=" + readFile(entry.path()) : "/"));
    std::ranges::sort(files);
    return files;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::ranges::sort(lines);
    return lines;
}

std::string lastLineBefore(const std::string& text, const std::string& ending) {
    std::string head = text.substr(0, text.rfind(ending));
    return head.substr(head.rfind('\n', head.size() - 2) + 1);
}

struct VerbCase {
    const char* verb;
    bool treeOnServer;  // else it starts on the local side
    std::string refusal;
    std::string finalLine;
};

}  // namespace

TEST(ParallelBatchEndToEnd, ThreeSessionsGiveWhatOneGives) {
    TestServer server({.faults = {"refuse-marked-transfers", "refuse-dele=keep.txt"}});
    const VerbCase cases[] = {
        {"mget", true, "Download refused.txt failed, 550 Transfer refused.\n", "13 files saved to L/, 1 failed\n"},
        {"mput", false, "Upload L/refused.txt failure, 550 Transfer refused.\n",
         " 13 files uploaded to /F, 1 failed\n"},
        {"mdele", true, "delete failure: 'keep.txt'\n", " mdele: 13 files deleted on /F, 1 failed\n"},
    };
    for (const VerbCase& c : cases) {
        std::string outputs[2], sides[2];
        for (int width : {1, 3}) {
            const std::string folder = std::string(c.verb) + std::to_string(width);
            std::filesystem::create_directory(server.path(folder));
            TempDir local;
            writeTree(c.treeOnServer ? server.path(folder) : local.path());
            RunResult r = runDorvan(
                {.input = useServer(server, "--keepalive 0 --recurse true --local " + local.path() + " --remote " +
                                                folder + " --parallel " + std::to_string(width)) +
                          c.verb + "\nquit\n"});
            ASSERT_FALSE(r.timedOut) << c.verb;
            std::string out = replaced(replaced(consoleLines(r.out), local.path(), "L"), folder, "F");
            EXPECT_EQ(count(out, c.refusal), 1u) << out;
            EXPECT_EQ(lastLineBefore(out, " FTP closed\n"), c.finalLine) << out;
            outputs[width / 2] = out;
            sides[width / 2] = ::testing::PrintToString(contentOf(server.path(folder))) + "\n" +
                               ::testing::PrintToString(contentOf(local.path()));
        }
        EXPECT_EQ(sortedLines(outputs[1]), sortedLines(outputs[0])) << c.verb << "\n" << outputs[1];
        EXPECT_EQ(sides[1], sides[0]) << c.verb;
    }
    // Each wide run logged in more than once, and its extra sessions quit at its end.
    const std::string log = server.log();
    EXPECT_GE(count(log, "<- USER"), 9u) << log;
    EXPECT_EQ(count(log, "<- QUIT"), count(log, "<- USER") - 6) << log;

    // A dry run opens no extra session; 0 and 9 are refused, and status shows the width.
    TempDir local;
    RunResult r =
        runDorvan({.input = useServer(server, "--keepalive 0 --parallel 8 --remote mget1 --local " + local.path()) +
                            "mget --justprint true\nset --parallel 0\nset --parallel 9\nstatus\nquit\n"});
    EXPECT_EQ(count(server.log(), "<- USER"), count(log, "<- USER") + 1);
    const std::string out = consoleLines(r.out);
    EXPECT_EQ(count(out, " mget: found "), treeFiles.size() - 5) << out;
    EXPECT_TRUE(contains(out, "Invalid parallel parameter: 0\nInvalid parallel parameter: 9\n")) << out;
    EXPECT_TRUE(contains(out, " verify      : true\n parallel    : 8\n")) << out;
}

TEST(ParallelBatchEndToEnd, SessionsTheServerRefusesLeaveTheirShareToTheOthers) {
    // Slow transfers, so that the extra sessions are asked for before the first one is done.
    TestServer server({.faults = {"max-sessions=2", "throttle=150000"}});
    writeTree(server.path(""));
    TempDir local;
    RunResult r = runDorvan(
        {.input = useServer(server, "--keepalive 0 --parallel 4 --debug 1 --local " + local.path()) + "mget\nquit\n"});
    const std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, "\n9 files saved to " + local.path() + "/\n")) << out;
    EXPECT_GE(count(out, " not opened: 421 "), 1u) << out;
    EXPECT_FALSE(contains(r.log(), " Error  ")) << r.log();
    EXPECT_EQ(contentOf(local.path()).size(), 9u);
}

TEST(ParallelBatchEndToEnd, InterruptAbortsEverySession) {
    TestServer server({.faults = {"stall-data"}});
    for (const char* name : {"a", "b", "c", "d"}) writeFile(server.path(name), std::string(100'000, 'x'));
    TempDir local;
    DorvanProcess process(
        {.input = useServer(server, "--keepalive 0 --parallel 3 --local " + local.path()) + "mget\n"});
    ASSERT_TRUE(process.waitForOutput(" 3/4 Downloading", 10s)) << process.out();
    process.sendSignal(SIGINT);
    RunResult r = process.wait(10s);
    const std::string out = consoleLines(r.out);
    EXPECT_EQ(count(out, " failed, Aborted\n"), 3u) << out;
    EXPECT_TRUE(contains(out, "0 files saved to " + local.path() + "/, 3 failed\n FTP closed\n")) << out;
    EXPECT_FALSE(contains(out, " 4/4 ")) << "no file is begun after the interrupt";
}

namespace {

// How many control connections sent `verb` (the server logs each command after its client's address and port).
size_t sessionsSending(const std::string& log, const std::string& verb) {
    std::set<std::string> clients;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        const size_t client = line.find("127.0.0.1:");
        if (contains(line, "] <- " + verb + " ")) clients.insert(line.substr(client, line.find('-', client) - client));
    }
    return clients.size();
}

}  // namespace

TEST(ParallelBatchEndToEnd, ExtraSessionsWorkInTheFolderOfTheCommandsSessionOrNotAtAll) {
    // unquoted: "257 /sub is the current directory."; vague: a PWD reply that names no folder.
    for (const std::string form : {"unquoted", "vague"}) {
        SCOPED_TRACE(form);
        const bool wide = form == "unquoted";
        TestServer server(
            {.faults = {"pwd-reply=" + form, "delay-command=DELE", "delay-command=RETR", "delay-command=STOR"}});
        TempDir downloads, uploads;
        for (int i = 1; i <= 6; ++i) {
            const std::string n = std::to_string(i);
            for (const char* folder : {"", "sub/"}) {
                writeFile(server.path(folder + ("old" + n + ".tmp")), "x");
                writeFile(server.path(folder + ("g" + n + ".dat")), folder + n);
            }
            writeFile(uploads.file("u" + n + ".up"), "up " + n);
        }
        RunResult r =
            runDorvan({.input = useServer(server, "--keepalive 0 --parallel 4 --debug 1") +
                                "cwd --name sub\nmdele --include *.tmp\nmget --include *.dat --local " +
                                downloads.path() + "\nmput --include *.up --local " + uploads.path() + "\nquit\n"});
        const std::string out = consoleLines(r.out);
        const std::string folder = wide ? "/sub" : "";
        EXPECT_TRUE(contains(out, " mdele: 6 files deleted on " + folder + "\n")) << out;
        EXPECT_TRUE(contains(out, "\n6 files saved to ")) << out;
        EXPECT_TRUE(contains(out, " 6 files uploaded to " + folder + "\n")) << out;
        EXPECT_EQ(count(out, " parallel sessions not opened: the current folder is unknown (257 Current directory "),
                  wide ? 0u : 3u)
            << out;
        for (int i = 1; i <= 6; ++i) {
            const std::string n = std::to_string(i);
            EXPECT_TRUE(fileExists(server.path("old" + n + ".tmp"))) << "the login folder's file stays";
            EXPECT_FALSE(fileExists(server.path("sub/old" + n + ".tmp")));
            EXPECT_EQ(readFile(downloads.file("g" + n + ".dat")), "sub/" + n);
            EXPECT_EQ(readFile(server.path("sub/u" + n + ".up")), "up " + n);
            EXPECT_FALSE(fileExists(server.path("u" + n + ".up")));
        }
        const std::string log = server.log();
        for (const char* verb : {"DELE", "RETR", "STOR"})
            EXPECT_EQ(sessionsSending(log, verb) > 1, wide) << verb << "\n" << log;
    }
}

TEST(ParallelBatchEndToEnd, AnotherServerNamedOnABatchLineGetsNoPartOfIt) {
    TestServer open, other;
    for (TestServer* server : {&open, &other})
        for (const char* name : {"a.tmp", "b.tmp", "c.tmp", "d.tmp"}) writeFile(server->path(name), name);
    TempDir local;
    const std::string elsewhere = " --port " + std::to_string(other.port());
    RunResult r = runDorvan({.input = useServer(open, "--keepalive 0 --parallel 4 --local " + local.path()) +
                                      "login\nmdele --include *.tmp" + elsewhere +
                                      "\nmget\nmput --include *.tmp\n"
                                      "set --port " +
                                      std::to_string(open.port()) + "\nmdele\nquit\n"});
    const std::string refusal = " failure: the open session is to 127.0.0.1 port " + std::to_string(open.port()) +
                                ", not to 127.0.0.1 port " + std::to_string(other.port()) + "; close it first\n";
    EXPECT_EQ(consoleLines(r.out), " connected to 127.0.0.1\n Loggedin\nmdele" + refusal + "mget" + refusal + "mput" +
                                       refusal +
                                       " 1/4 delting a.tmp...\n 2/4 delting b.tmp...\n 3/4 delting c.tmp...\n"
                                       " 4/4 delting d.tmp...\n mdele: 4 files deleted on /\n FTP closed\n");
    EXPECT_TRUE(std::filesystem::is_empty(local.path()));
    for (const char* name : {"a.tmp", "b.tmp", "c.tmp", "d.tmp"}) {
        EXPECT_FALSE(fileExists(open.path(name))) << "the matching line works on the open session";
        EXPECT_TRUE(fileExists(other.path(name)));
    }
    EXPECT_FALSE(contains(other.log(), "<- USER")) << other.log();
}

TEST(ParallelBatchEndToEnd, AFlakyServerStillGetsAndTakesTheWholeTreeInOneRun) {
    // -c: the first transfer is cut in the middle; -r: refused once with 425; -q: refused once
    // with 421, which closes the session; and the control connection closes after the 5th file.
    const std::vector<std::string> names = {
        "a.bin",          "b-c.bin",          "c-r.bin",          "sub/d.bin",      "sub/e-c.bin", "sub/f-q.bin",
        "sub/deep/g.bin", "sub/deep/h-c.bin", "sub/deep/i-r.bin", "sub/deep/j.bin", "k.bin",       "sub/l.bin"};
    for (const char* verb : {"mget", "mput"}) {
        for (int width : {1, 3}) {
            SCOPED_TRACE(std::string(verb) + " --parallel " + std::to_string(width));
            TestServer server(
                {.faults = {"cut-first=-c.bin", "refuse-first=425:-r", "refuse-first=421:-q", "close-after=5"}});
            TempDir local;
            const std::string source = std::string(verb) == "mget" ? server.root() : local.path();
            unsigned seed = 0;
            for (const std::string& name : names) writeFile(source + "/" + name, randomBytes(200'000, ++seed));
            // An older, shorter copy on the server is replaced, not taken for the start of the upload.
            if (source != server.root()) writeFile(server.path("c-r.bin"), randomBytes(150'000, 99));
            // Uploads go on after a cut only through a temporary name of their own (--resume true).
            RunResult r = runDorvan(
                {.input = useServer(server, "--keepalive 0 --recurse true --retrywait 1 --resume true --local " +
                                                local.path() + " --parallel " + std::to_string(width)) +
                          verb + "\nquit\n",
                 .timeout = 60s});
            ASSERT_FALSE(r.timedOut);
            const std::string out = consoleLines(r.out);
            EXPECT_TRUE(
                contains(out, std::string(verb) == "mget" ? "\n12 files saved to " : "\n 12 files uploaded to /"))
                << out;
            EXPECT_GE(count(out, " retry 1 of 3 in 1 s: "), 6u) << out;
            EXPECT_GE(count(out, " reconnected to 127.0.0.1\n"), 2u) << out;
            EXPECT_FALSE(contains(r.log(), " Error  ")) << r.log();
            EXPECT_EQ(contentOf(server.root()), contentOf(local.path()));
            // Each cut file went on after REST, and only those.
            EXPECT_EQ(count(server.log(), "<- REST "), 3u) << server.log();
        }
    }
}

TEST(ParallelBatchEndToEnd, SizeChecksOfSeveralSessionsOverlapAndTheLinesKeepTheirOrder) {
    // The server answers SIZE only once two sessions have asked it (else after 10 s).
    TestServer server({.faults = {"meet-size"}});
    TempDir local;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"}) writeFile(local.file(name), name);
    for (const char* name : {"b.txt", "d.txt"}) writeFile(server.path(name), name);  // same size: skipped
    writeFile(server.path("e.txt"), "longer than e.txt");
    RunResult r =
        runDorvan({.input = useServer(server, "--keepalive 0 --parallel 3 --overwrite false --local " + local.path()) +
                            "mput\nquit\n",
                   .timeout = 20s});
    ASSERT_FALSE(r.timedOut);
    // The lines come in the order the local folder lists its files.
    std::string expected = " connected to 127.0.0.1\n Loggedin\n";
    size_t position = 0;
    for (const auto& entry : std::filesystem::directory_iterator(local.path())) {
        const std::string name = entry.path().filename().string(), number = std::to_string(++position);
        expected += name == "b.txt" || name == "d.txt"
                        ? " mput skiped, same size: " + local.file(name) + "\n"
                        : " " + number + "/6 Uploading " + name + " to " + name + " ...\n";
    }
    EXPECT_EQ(consoleLines(r.out), expected + " 4 files uploaded to /\n FTP closed\n");
    EXPECT_FALSE(contains(server.log(), "SIZE answered alone")) << server.log();
    EXPECT_EQ(readFile(server.path("e.txt")), "e.txt");
}
