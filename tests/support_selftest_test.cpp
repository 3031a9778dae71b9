// Guards the end-to-end fixture where its own fault would let a test pass
// without checking what it claims: a server that does not start, listings
// unlike the servers they imitate, faults that do not cut where they say, a
// runner that hangs, or tests that write outside their own data folder.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/run_dorvan.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

std::string url(const TestServer& server, const std::string& path = "") {
    return "ftp://127.0.0.1:" + std::to_string(server.port()) + "/" + path;
}

// curl as an independent client of the fixture server.
RunResult curl(const TestServer& server, std::vector<std::string> args) {
    RunOptions options;
    options.binary = "/usr/bin/curl";
    options.args = {"--silent", "--show-error", "--user", server.user() + ":" + server.password()};
    options.args.insert(options.args.end(), args.begin(), args.end());
    options.timeout = 20s;
    return runDorvan(options);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        result.push_back(line);
    }
    return result;
}

}  // namespace

// The listing parser's end-to-end tests trust these shapes.
TEST(FixtureServer, ListsInTheShapesOfTheServersItImitates) {
    struct Case {
        std::string mode;
        std::string dirLine, fileLine;  // patterns of one LIST line each
    };
    const Case cases[] = {
        {"plain", R"(^drwx\S* +\d+ .* sub$)", R"(^-rw\S* +\d+ .* 589 \w{3} .* notes\.htm$)"},
        {"windows", R"(^\d\d-\d\d-\d\d  \d\d:\d\d[AP]M       <DIR>          sub$)",
         R"(^12-31-99  12:05AM                  589 notes\.htm$)"},
        {"eplf", R"(^\+/,m\d+,\tsub$)", R"(^\+i\d+\.\d+,m946598700,r,s589,\tnotes\.htm$)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TestServer server({.mode = c.mode});
        writeFile(server.path("notes.htm"), std::string(589, 'n'));
        writeFile(server.path("sub/inner.txt"), "x");
        setModificationTime(server.path("notes.htm"), 946598700);  // 1999-12-31 00:05 UTC, the listings' zone
        RunResult list = curl(server, {url(server)});
        ASSERT_EQ(list.exitStatus, 0) << list.err;
        auto listed = lines(list.out);
        ASSERT_EQ(listed.size(), 2u) << list.out;
        EXPECT_TRUE(std::regex_search(listed[0], std::regex(c.fileLine))) << listed[0];
        EXPECT_TRUE(std::regex_search(listed[1], std::regex(c.dirLine))) << listed[1];
    }
}

// Tests of a failed transfer mean the fault, not an empty file.
TEST(FixtureServer, TransferFaultsCutWhereTheySay) {
    std::string content;
    for (int i = 0; content.size() < 1000000; ++i) content += "line " + std::to_string(i) + "\n";
    {
        TestServer server({.faults = {"fail-after-transfer"}});
        writeFile(server.path("f.txt"), content);
        RunResult get = curl(server, {url(server, "f.txt")});
        EXPECT_NE(get.exitStatus, 0);
        EXPECT_EQ(get.out, content);  // all data came, only the final reply failed
        EXPECT_NE(server.log().find("451 Local error"), std::string::npos);
    }
    {
        TestServer server({.faults = {"drop-mid-transfer"}});
        writeFile(server.path("f.txt"), content);
        RunResult get = curl(server, {url(server, "f.txt")});
        EXPECT_NE(get.exitStatus, 0);
        EXPECT_GT(get.out.size(), content.size() / 4);
        EXPECT_LT(get.out.size(), content.size() * 3 / 4);
        EXPECT_EQ(get.out, content.substr(0, get.out.size()));
    }
}

TEST(FixtureServer, FailsLoudlyWhenItCannotStart) {
    try {
        TestServer server({.mode = "no-such-mode"});
        FAIL() << "a server in an unknown mode started";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("did not start"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("no-such-mode"), std::string::npos) << e.what();
    }
}

TEST(FixtureRunner, NeverHangsAndKeepsTheDataFolderApart) {
    // Much more than a pipe holds in both directions at once: no deadlock.
    std::string big(3 << 20, 'z');
    RunResult copy =
        runDorvan({.args = {"-c", "cat; head -c 200000 /dev/zero >&2"}, .input = big, .binary = "/bin/sh"});
    EXPECT_EQ(copy.out.size(), big.size());
    EXPECT_EQ(copy.err.size(), 200000u);

    auto started = std::chrono::steady_clock::now();
    RunResult slow = runDorvan({.args = {"-c", "echo begun; exec sleep 30"}, .timeout = 500ms, .binary = "/bin/sh"});
    EXPECT_TRUE(slow.timedOut);
    EXPECT_EQ(slow.termSignal, SIGKILL);
    EXPECT_EQ(slow.out, "begun\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);

    // Every run writes its log below a fresh folder of its own, never the user's.
    const RunOptions printDataHome = {.args = {"-c", "echo $XDG_DATA_HOME"}, .binary = "/bin/sh"};
    RunResult first = runDorvan(printDataHome), second = runDorvan(printDataHome);
    EXPECT_EQ(first.out, first.dataHome + "\n");
    EXPECT_TRUE(std::filesystem::is_directory(first.dataHome));
    EXPECT_NE(first.dataHome, second.dataHome);
}
