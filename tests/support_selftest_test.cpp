// Guards the end-to-end test fixture itself: the loopback FTP server (checked
// with curl and raw control connections) and the child-process runner.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/run_dorvan.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

// A raw control connection: one reply line at a time, with a time limit.
class Control {
public:
    explicit Control(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Control() { close(fd_); }
    bool connected() const { return connected_; }

    // The next final reply line ("ddd text"), or "" when none comes in time.
    std::string reply(std::chrono::milliseconds limit = 5s) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            size_t end;
            while ((end = buffer_.find("\r\n")) != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 2);
                if (line.size() >= 4 && line[3] == ' ') return line;
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
            char chunk[4096];
            ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) return "";
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }
    std::string command(const std::string& line, std::chrono::milliseconds limit = 5s) {
        std::string wire = line + "\r\n";
        send(fd_, wire.data(), wire.size(), MSG_NOSIGNAL);
        return reply(limit);
    }
    void login(const TestServer& server) {
        ASSERT_EQ(reply().substr(0, 3), "220");
        ASSERT_EQ(command("USER " + server.user()).substr(0, 3), "331");
        ASSERT_EQ(command("PASS " + server.password()).substr(0, 3), "230");
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::string buffer_;
};

std::string url(const TestServer& server, const std::string& path = "") {
    return "ftp://127.0.0.1:" + std::to_string(server.port()) + "/" + path;
}

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

TEST(FixtureServer, ListsDownloadsAndUploadsInPassiveAndActiveMode) {
    const std::pair<const char*, std::vector<std::string>> connections[] = {
        {"EPSV", {}},
        {"PASV", {"--disable-epsv"}},
        {"EPRT", {"-P", "127.0.0.1"}},
        {"PORT", {"-P", "127.0.0.1", "--disable-eprt"}},
    };
    for (const auto& [name, mode] : connections) {
        SCOPED_TRACE(name);
        TestServer server;
        writeFile(server.path("docs/notes.txt"), "first line\nsecond line\n");
        auto withMode = [&](std::vector<std::string> args) {
            args.insert(args.begin(), mode.begin(), mode.end());
            return args;
        };

        RunResult list = curl(server, withMode({url(server, "docs/")}));
        EXPECT_EQ(list.exitStatus, 0) << list.err;
        EXPECT_TRUE(std::regex_search(list.out, std::regex(R"(^-rw\S+ +\d+ .* 23 \w{3} .* notes\.txt)"))) << list.out;

        RunResult get = curl(server, withMode({url(server, "docs/notes.txt")}));
        EXPECT_EQ(get.exitStatus, 0) << get.err;
        EXPECT_EQ(get.out, "first line\nsecond line\n");

        TempDir local;
        std::string payload(300000, 'x');
        payload += "end";
        writeFile(local.file("up.bin"), payload);
        RunResult put = curl(server, withMode({"-T", local.file("up.bin"), url(server, "docs/up.bin")}));
        EXPECT_EQ(put.exitStatus, 0) << put.err;
        EXPECT_EQ(readFile(server.path("docs/up.bin")), payload);
        EXPECT_NE(server.log().find(std::string("<- ") + name), std::string::npos) << server.log();
    }
}

TEST(FixtureServer, ReportsTheSizeOfASparseFiveGigabyteFile) {
    TestServer server;
    createSparseFile(server.path("big.bin"), 5ULL << 30);
    RunResult head = curl(server, {"--head", url(server, "big.bin")});
    EXPECT_EQ(head.exitStatus, 0) << head.err;
    EXPECT_NE(head.out.find("Content-Length: 5368709120"), std::string::npos) << head.out;
}

TEST(FixtureServer, ModesShapeSystOptsAndListing) {
    struct Case {
        std::string mode;
        std::vector<std::string> faults{};
        std::string syst{}, utf8Reply{};
        std::string dirLine{}, fileLine{};  // patterns of one LIST line each
    };
    const Case cases[] = {
        {.mode = "plain",
         .syst = "215 UNIX Type: L8",
         .utf8Reply = "501",
         .dirLine = R"(^drwx\S* +\d+ .* sub$)",
         .fileLine = R"(^-rw\S* +\d+ .* 589 \w{3} .* notes\.htm$)"},
        {.mode = "plain", .faults = {"utf8"}, .syst = "215 UNIX Type: L8", .utf8Reply = "200 UTF8 set to on"},
        {.mode = "windows",
         .syst = "215 Windows_NT",
         .utf8Reply = "200 UTF8 set to on",
         .dirLine = R"(^\d\d-\d\d-\d\d  \d\d:\d\d[AP]M       <DIR>          sub$)",
         .fileLine = R"(^12-31-99  12:05AM                  589 notes\.htm$)"},
        {.mode = "eplf",
         .syst = "215 UNIX Type: L8",
         .utf8Reply = "501",
         .dirLine = R"(^\+/,m\d+,\tsub$)",
         .fileLine = R"(^\+i\d+\.\d+,m946598700,r,s589,\tnotes\.htm$)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode + (c.faults.empty() ? "" : " + " + c.faults[0]));
        TestServer server({.mode = c.mode, .faults = c.faults});
        writeFile(server.path("notes.htm"), std::string(589, 'n'));
        writeFile(server.path("sub/inner.txt"), "x");
        // 1999-12-31 00:05 UTC, the listings' time zone.
        setModificationTime(server.path("notes.htm"), 946598700);

        Control control(server.port());
        ASSERT_TRUE(control.connected());
        control.login(server);
        EXPECT_EQ(control.command("SYST"), c.syst);
        EXPECT_EQ(control.command("OPTS UTF8 ON").substr(0, c.utf8Reply.size()), c.utf8Reply);

        if (c.dirLine.empty()) continue;
        RunResult list = curl(server, {url(server)});
        ASSERT_EQ(list.exitStatus, 0) << list.err;
        auto listed = lines(list.out);
        ASSERT_EQ(listed.size(), 2u) << list.out;
        EXPECT_TRUE(std::regex_search(listed[0], std::regex(c.fileLine))) << listed[0];
        EXPECT_TRUE(std::regex_search(listed[1], std::regex(c.dirLine))) << listed[1];
    }
}

TEST(FixtureServer, ControlConnectionFaultsLeaveCommandsUnanswered) {
    {
        TestServer server({.faults = {"no-greeting"}});
        Control control(server.port());
        ASSERT_TRUE(control.connected());
        EXPECT_EQ(control.reply(2s), "");
    }
    {
        TestServer server({.faults = {"silent-after-login"}});
        Control control(server.port());
        control.login(server);
        EXPECT_EQ(control.command("PWD", 1s), "");
        EXPECT_EQ(control.command("SYST", 1s), "");
    }
    {
        TestServer server({.faults = {"silent-command=CWD", "silent-command=size"}});
        Control control(server.port());
        control.login(server);
        EXPECT_EQ(control.command("PWD"), "257 \"/\" is the current directory.");
        EXPECT_EQ(control.command("CWD /", 1s), "");
        // The answers owed for CWD never come: the next reply belongs to NOOP.
        EXPECT_EQ(control.command("SIZE x", 1s), "");
        EXPECT_EQ(control.command("NOOP").substr(0, 3), "200");
    }
    {
        TestServer server({.faults = {"refuse-dele"}});
        writeFile(server.path("keep.txt"), "k");
        Control control(server.port());
        control.login(server);
        EXPECT_EQ(control.command("DELE keep.txt").substr(0, 3), "550");
        EXPECT_TRUE(fileExists(server.path("keep.txt")));
    }
}

TEST(FixtureServer, TransferFaultsAreVisibleToARealClient) {
    std::string content;
    for (int i = 0; content.size() < 1000000; ++i) content += "line " + std::to_string(i) + "\n";

    {
        TestServer server({.faults = {"fail-after-transfer"}});
        writeFile(server.path("f.txt"), content);
        RunResult get = curl(server, {url(server, "f.txt")});
        EXPECT_NE(get.exitStatus, 0);
        EXPECT_EQ(get.out, content);  // all data came, only the final reply failed
        EXPECT_NE(server.log().find("451 Local error"), std::string::npos);

        TempDir local;
        writeFile(local.file("u.txt"), content);
        RunResult put = curl(server, {"-T", local.file("u.txt"), url(server, "u.txt")});
        EXPECT_NE(put.exitStatus, 0);
        EXPECT_EQ(readFile(server.path("u.txt")), content);

        RunResult list = curl(server, {url(server)});  // listings are not file transfers
        EXPECT_EQ(list.exitStatus, 0) << list.err;
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
    {
        TestServer server({.faults = {"stall-data"}});
        writeFile(server.path("f.txt"), content);
        RunResult get = curl(server, {"--max-time", "2", url(server, "f.txt")});
        EXPECT_EQ(get.exitStatus, 28) << get.err;  // curl: operation timed out
        EXPECT_EQ(get.out, "");
        RunResult again = curl(server, {url(server)});  // the server still serves others
        EXPECT_EQ(again.exitStatus, 0) << again.err;
    }
    {
        TestServer server({.faults = {"long-listing-line"}});
        writeFile(server.path("a.txt"), "a");
        writeFile(server.path("b.txt"), "b");
        RunResult list = curl(server, {url(server)});
        ASSERT_EQ(list.exitStatus, 0) << list.err;
        auto listed = lines(list.out);
        ASSERT_EQ(listed.size(), 3u);
        EXPECT_TRUE(listed[0].ends_with(" a.txt"));
        EXPECT_EQ(listed[1].size(), 20000u);
        EXPECT_TRUE(listed[2].ends_with(" b.txt"));
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

TEST(FixtureRunner, CapturesStreamsStatusEnvironmentAndTimeouts) {
    RunResult echo =
        runDorvan({.args = {"-c", "cat; echo to-err >&2; exit 7"}, .input = "typed\n", .binary = "/bin/sh"});
    EXPECT_EQ(echo.out, "typed\n");
    EXPECT_EQ(echo.err, "to-err\n");
    EXPECT_EQ(echo.exitStatus, 7);
    EXPECT_FALSE(echo.timedOut);

    // Much more than a pipe holds in both directions at once: no deadlock.
    std::string big(3 << 20, 'z');
    RunResult copy =
        runDorvan({.args = {"-c", "cat; head -c 200000 /dev/zero >&2"}, .input = big, .binary = "/bin/sh"});
    EXPECT_EQ(copy.out.size(), big.size());
    EXPECT_EQ(copy.err.size(), 200000u);

    TempDir tools;
    writeFile(tools.file("hello"), "#!/bin/sh\necho from-path\n");
    std::filesystem::permissions(tools.file("hello"), std::filesystem::perms::owner_all);
    RunResult env = runDorvan({.args = {"-c", "echo $XDG_DATA_HOME $EXTRA; hello"},
                               .env = {"EXTRA=given"},
                               .pathFirst = tools.path(),
                               .binary = "/bin/sh"});
    EXPECT_EQ(env.out, env.dataHome + " given\nfrom-path\n");
    EXPECT_TRUE(std::filesystem::is_directory(env.dataHome));
    writeFile(env.dataHome + "/Tolvane/Dorvan/dorvan-log.txt", "logged\n");
    EXPECT_EQ(env.log(), "logged\n");

    auto started = std::chrono::steady_clock::now();
    RunResult slow = runDorvan({.args = {"-c", "echo begun; exec sleep 30"}, .timeout = 500ms, .binary = "/bin/sh"});
    EXPECT_TRUE(slow.timedOut);
    EXPECT_EQ(slow.termSignal, SIGKILL);
    EXPECT_EQ(slow.out, "begun\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);

    RunResult stub = runDorvan({.timeout = 20s});
    EXPECT_FALSE(stub.timedOut);
    EXPECT_GE(stub.exitStatus, 0);
}

TEST(FixtureRunner, AsynchronousProcessTakesInputAndSignals) {
    DorvanProcess process({.args = {"-c",
                                    "trap 'echo interrupted; exit 3' INT; echo ready; "
                                    "read line; echo got $line; while :; do sleep 0.05; done"},
                           .binary = "/bin/sh"});
    ASSERT_TRUE(process.waitForOutput("ready", 10s)) << process.out();
    process.writeInput("hello\n");
    ASSERT_TRUE(process.waitForOutput("got hello", 10s)) << process.out();
    process.sendSignal(SIGINT);
    RunResult result = process.wait(10s);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.out, "ready\ngot hello\ninterrupted\n");
}
