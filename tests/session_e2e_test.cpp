// Connecting, logging in and the session commands against a real FTP server.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <thread>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

TEST(SessionEndToEnd, SessionCommandsInPassiveAndActiveMode) {
    TestServer server;
    writeFile(server.path("sub/inner.txt"), "x");
    for (const char* passive : {"true", "false"}) {
        RunResult r = runDorvan(
            {.input =
                 useServer(server, std::string("--passive ") + passive) +
                 "connect\nconnect\nlogin\nconnect --host elsewhere\npwd\ncwd --name sub\npwd\ncdup\ncwd --name nope\n"
                 "cwd\nsyst\nliteral --name NOOP\nresponse\nliteral --name \"MKD made\" --expresp 2\n"
                 "literal --name BOGUS --expresp 5\nresponse\nlist\nclose\nstatus\nquit\n"});
        ASSERT_FALSE(r.timedOut);
        std::string out = consoleLines(r.out);
        std::string expected =
            " connected to 127.0.0.1\n"
            " Loggedin\n"
            "/\n"
            " working directory changed to 'sub'\n"
            "/sub\n"
            " changed to parent directory '/'\n"
            "change working directory to 'nope' failure: 550 No such file or directory.\n"
            " cwd failure: directory name not specified\n" +
            help("cwd") + " remote system type is: UNIX\n200 ";
        ASSERT_TRUE(out.starts_with(expected)) << out;
        EXPECT_TRUE(contains(out, "\n500 Command \"BOGUS\" not understood.\n")) << out;
        EXPECT_TRUE(contains(out, "drwxr-xr-x")) << out;  // the listing of the current folder
        EXPECT_TRUE(contains(out, " made\n")) << out;
        EXPECT_TRUE(contains(out, " FTP closed\n isConnected : false\n isLoggedin  : false\n\n port        : 21\n"))
            << out;
        EXPECT_TRUE(fileExists(server.path("made")));
        EXPECT_FALSE(contains(r.log(), "I successfully done nothin'")) << "response is console only";
        EXPECT_TRUE(contains(r.log(), "Info   Dorvan -  Loggedin\n"));
        EXPECT_TRUE(contains(server.log(), passive == std::string("true") ? "<- PASV" : "<- PORT")) << server.log();
    }
}

TEST(SessionEndToEnd, ConnectAndLoginFailures) {
    TestServer server;
    // No host: the help of connect follows at every debug level.
    RunResult r = runDorvan({.input = "connect --debug 2\npwd\n"});
    EXPECT_EQ(consoleLines(r.out), " Host name not specified\n" + help("connect") + " Host name not specified\n" +
                                       help("connect") + " login failure: connect first, please\n");

    // A closed port: the second line holds only the blank, the reason follows it from debug level 1 on and is
    // always logged; a command file stops after the failed connect.
    TempDir dir;
    writeFile(dir.file("cmds.txt"), "set --host 127.0.0.1 --port 1\nconnect\nstatus\n");
    r = runDorvan(
        {.args = {"@" + dir.file("cmds.txt")}, .input = "login --username u --password p\nlogin --debug 1\nquit\n"});
    const std::string reason = " Cannot connect to 127.0.0.1 port 1: Connection refused";
    EXPECT_EQ(consoleLines(r.out),
              " Unable to connect to 127.0.0.1 \n \n Unable to connect to 127.0.0.1 \n \n"
              " login failure: connect first, please\n"
              " Unable to connect to 127.0.0.1 \n \n" +
                  reason + "\n login failure: connect first, please\n");
    EXPECT_EQ(count(r.log(), "Error  Dorvan - " + reason + "\n"), 3u) << r.log();

    // An IPv6 literal is a host like any other.
    r = runDorvan({.input = "connect --host ::1\nquit\n"});
    EXPECT_TRUE(consoleLines(r.out).starts_with(" Unable to connect to ::1 \n")) << r.out;

    // Missing credentials: the help of login only at debug 1; a refused login keeps the connection.
    r = runDorvan({.input = "set --host 127.0.0.1 --port " + std::to_string(server.port()) +
                            "\nlogin\nlogin --debug 1 --username tester\nlogin --debug 3\n"
                            "login --debug 0 --password wrong\npwd --password secret\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_EQ(out, " connected to 127.0.0.1\n username not specified\n password not specified\n" + help("login") +
                       " password not specified\nLogin failure, 530 Authentication failed.\n Loggedin\n/\n"
                       " FTP closed\n")
        << out;
}

TEST(SessionEndToEnd, DisconnectAfterARefusedLoginDropsTheConnection) {
    TestServer first, second({.user = "other", .password = "pw2"});
    writeFile(first.path("f.txt"), "first");
    writeFile(second.path("f.txt"), "second");
    // Naming the other server without a disconnect drops the connection too.
    size_t closed = 0;
    for (const char* between : {"disconnect\n", ""}) {
        SCOPED_TRACE(between);
        TempDir local;
        RunResult r = runDorvan({.input = useServer(first, "--keepalive 0 --password wrong") + "login\n" + between +
                                          useServer(second, "--local " + local.path()) + "get --src f.txt\nquit\n"});
        EXPECT_EQ(consoleLines(r.out),
                  " connected to 127.0.0.1\nLogin failure, 530 Authentication failed.\n"
                  " connected to 127.0.0.1\n Loggedin\n dowloading f.txt to " +
                      local.path() + "/f.txt ...\n FTP closed\n");
        EXPECT_EQ(readFile(local.file("f.txt")), "second");
        EXPECT_FALSE(contains(first.log(), "USER other")) << first.log();
        EXPECT_EQ(count(first.log(), "FTP session closed"), ++closed) << "closed, not left open";
    }
}

TEST(SessionEndToEnd, WindowsServerAndUtf8Switch) {
    TestServer server({.mode = "windows"});
    RunResult r = runDorvan({.input = useServer(server, "--debug 1") + "syst\nstatus\nquit\n"});
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out,
                         " FTP initialized\n connected to 127.0.0.1\n the encoding of ftp server is UTF8\n"
                         " Loggedin\n remote system type is: Windows_NT\n"))
        << out;
    EXPECT_TRUE(contains(out, " encoding    : 65001\n")) << out;

    TestServer plain;
    r = runDorvan({.input = useServer(plain, "--encoding 1252") + "login\nstatus\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out), " encoding    : 1252\n")) << r.out;
}

TEST(SessionEndToEnd, KeepAliveSendsSystWhileIdle) {
    TestServer server;
    DorvanProcess process(RunOptions{.input = useServer(server, "--keepalive 1") + "login\n"});
    ASSERT_TRUE(process.waitForOutput(" Loggedin", 10s));
    auto systCount = [&server] {
        std::string log = server.log();
        size_t count = 0;
        for (size_t at = 0; (at = log.find("SYST", at)) != std::string::npos; ++at) ++count;
        return count;
    };
    // The login's own SYST and at least one sent by the keep-alive thread.
    ASSERT_TRUE(waitUntil([&] { return systCount() >= 2; }, 10s)) << server.log();
    process.writeInput("response\nset --keepalive 0\n");
    ASSERT_TRUE(process.waitForOutput("215 UNIX Type: L8", 10s)) << process.out();
    process.writeInput("quit\n");
    process.closeInput();
    RunResult r = process.wait(10s);
    EXPECT_EQ(r.exitStatus, 0);

    // Sessions closed while the keep-alive thread runs, many times over.
    std::string cycles = useServer(server, "--keepalive 1");
    for (int i = 0; i < 30; ++i) cycles += "login\nliteral --name NOOP\nclose\n" + useServer(server, "--keepalive 1");
    r = runDorvan({.input = cycles + "quit\n", .timeout = 60s});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.termSignal, 0);
}

TEST(SessionEndToEnd, SilentServersFailAfterTheDeadline) {
    TestServer silent({.faults = {"silent-command=PWD"}});
    auto started = std::chrono::steady_clock::now();
    RunResult r = runDorvan({.input = useServer(silent, "--timeout 2") + "pwd\nsyst\nquit\n", .timeout = 30s});
    EXPECT_FALSE(r.timedOut);
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, "pwd failure: ")) << out;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);

    TestServer mute({.faults = {"no-greeting"}});
    r = runDorvan({.input = useServer(mute, "--timeout 2") + "connect\nquit\n", .timeout = 30s});
    EXPECT_FALSE(r.timedOut);
    EXPECT_TRUE(consoleLines(r.out).starts_with(" Unable to connect to 127.0.0.1 \n")) << r.out;
}

TEST(SessionEndToEnd, DebugTracesOnStandardError) {
    TestServer server;
    RunResult r = runDorvan({.input = useServer(server, "--debug 3") + "login\npwd\nquit\n"});
    EXPECT_TRUE(contains(r.err, "PASS ****")) << r.err;
    EXPECT_FALSE(contains(r.err, server.password())) << r.err;
    EXPECT_TRUE(contains(r.err, "USER " + server.user()));
    EXPECT_TRUE(contains(r.err, "257 \"/\"")) << r.err;
    EXPECT_FALSE(contains(r.log(), "257")) << "traces are not logged";

    r = runDorvan({.input = useServer(server, "--debug 2") + "login\nquit\n"});
    EXPECT_TRUE(contains(r.err, "230 ")) << r.err;
    EXPECT_FALSE(contains(r.err, "USER ")) << r.err;
}

TEST(SessionEndToEnd, InterruptDuringATransferClosesTheSessionAndStops) {
    TestServer server({.faults = {"stall-data"}});
    writeFile(server.path("f.bin"), std::string(100'000, 'x'));
    TempDir local;
    writeFile(local.file("cmds.txt"), useServer(server, "--local " + local.path()) + "get --src f.bin\nstatus\n");
    DorvanProcess process(RunOptions{.args = {"@" + local.file("cmds.txt")}});
    ASSERT_TRUE(process.waitForOutput(" dowloading f.bin", 10s));
    auto started = std::chrono::steady_clock::now();
    process.sendSignal(SIGINT);
    RunResult r = process.wait(10s);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, "get f.bin failure: Aborted\n FTP closed\n")) << out;
    EXPECT_FALSE(contains(out, "isConnected")) << "the file stops after the interrupt";
    EXPECT_FALSE(fileExists(local.file("f.bin")));
}
