// The Windows build driven end to end under wine against the loopback test
// servers: console and command files, the session, transfers in both types,
// trees with backslash paths, a ZIP upload, the log under %APPDATA%, Ctrl+C,
// FTPS against vsftpd.
// Expectations are the Linux ones with the Windows separators and line ends.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "support/console_texts.h"
#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"
#include "support/tls_servers.h"
#include "wine/wine_prefix.h"

using namespace dorvan::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The program's own copy in a folder of its own: command files named
// without a path, and the shortcut files, live beside it.
class WindowsBuild : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(DORVAN_BINARY, exe);
        fs::remove_all(dataFolder());  // each case sees its own log and archives only
    }

    RunOptions options(RunOptions base) const {
        base.binary = exe;
        base.dataHome = wineAppData();
        return base;
    }
    RunResult run(const RunOptions& base) const { return runDorvan(options(base)); }

    static std::string dataFolder() { return wineAppData() + "/Tolvane/Dorvan/"; }
    // A local folder as the program names it: drive letter, "\" separators and a final "\".
    static std::string local(const TempDir& dir) { return windowsPath(dir.path()) + "\\"; }

    TempDir program{"dorvan-windows-"};
    std::string exe = program.file("dorvan.exe");
};

TEST_F(WindowsBuild, PromptCommandFilesLogAndShortcuts) {
    RunResult r = run({.input = "status ?\r\nhelp\r\nstatus\r\nfoo\r\n"});
    // Lines end with CR LF on Windows; help texts keep their inner LF breaks, and the usage line ends with LF alone.
    std::string usage = withCrLf(dorvan::usageText());
    usage.replace(usage.find("]\r\n               Dorvan ["), 3, "]\n");
    EXPECT_EQ(r.out, withCrLf(banner()) + prompt + dorvan::commandHelp("status") + "\r\n\r\n" + prompt + usage +
                         "\r\n" + prompt + withCrLf(defaultStatus) + prompt + "unknown command: foo\r\n" + prompt);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.log().ends_with(" Error  Dorvan - unknown command: foo\r\n")) << r.log();

    // The icon comes from the system folder; the manual's address depends on the build.
    const std::string systemFolder = "C:\\windows\\system32";
    EXPECT_EQ(readFile(program.file("Dorvan_Home.url")),
              shortcutContent(dorvan::config().homePageAddress(), systemFolder));
    EXPECT_TRUE(
        contains(readFile(program.file("How_to_Dorvan.url")), "\r\nIconFile=" + systemFolder + "\\url.dll\r\n"));

    // Every byte-order mark, the file named from the program folder and by its full path.
    const std::string expected =
        withCrLf(banner() + withLine(defaultStatus, "expresp", " name        : \xC3\xA4\xE2\x82\xAC"));
    std::vector<std::string> contents = withByteOrderMarks(U"set --name \u00E4\u20AC\r\nstatus\r\nquit");
    for (size_t i = 0; i < contents.size(); ++i) {
        const std::string name = "bom" + std::to_string(i) + ".txt";
        writeFile(program.file(name), contents[i]);
        for (const std::string& named : {name, windowsPath(program.file(name))})
            EXPECT_EQ(run({.args = {"@" + named}}).out, expected) << named;
    }
}

TEST_F(WindowsBuild, SessionTransfersInBothTypesAndListing) {
    TestServer server;
    TempDir dir;
    const std::string binary = randomBytes(200'000) + "\r\n\n\r";
    writeFile(dir.file("bin.dat"), binary);
    writeFile(dir.file("text.txt"), "first\r\nsecond line\r\n\r\nlast\r\n");
    writeFile(server.path("crlf.txt"), "a\r\nb\n");
    const std::string l = local(dir);
    RunResult r = run({.input = useServer(server, "--local " + windowsPath(dir.path())) +
                                "connect\nlogin\nput --src bin.dat\nget --src bin.dat --dst copy.dat\n"
                                "put --src text.txt --image false\nget --src text.txt --dst down.txt --image false\n"
                                "get --src crlf.txt --image false\nlist\nstatus\nquit\n"});
    const std::string out = consoleLines(r.out);
    EXPECT_TRUE(out.starts_with(" connected to 127.0.0.1\n Loggedin\n uploading " + l + "bin.dat to bin.dat\n" +
                                " dowloading bin.dat to " + l + "copy.dat ...\n uploading " + l +
                                "text.txt to text.txt\n dowloading text.txt to " + l + "down.txt ...\n"))
        << out;
    EXPECT_FALSE(contains(out, "failure")) << out;
    EXPECT_TRUE(contains(out, " bin.dat\n")) << "the listing names the uploaded file\n" << out;
    EXPECT_TRUE(contains(out, " local       : " + l + "\n")) << out;
    EXPECT_TRUE(contains(out, " FTP closed\n")) << out;
    EXPECT_EQ(readFile(server.path("bin.dat")), binary);
    EXPECT_EQ(readFile(dir.file("copy.dat")), binary);
    // ASCII type: CR LF on the wire and in Windows files, LF on the Linux server.
    EXPECT_EQ(readFile(server.path("text.txt")), "first\nsecond line\n\nlast\n");
    EXPECT_EQ(readFile(dir.file("down.txt")), readFile(dir.file("text.txt")));
    EXPECT_EQ(readFile(dir.file("crlf.txt")), "a\r\nb\r\n");
    EXPECT_TRUE(contains(r.log(), "Info   Dorvan -  Loggedin\r\n")) << r.log();
}

// Explicit TLS with passive data connections, implicit with active ones.
TEST_F(WindowsBuild, FtpsMovesFilesListingsAndTreesByteExact) {
    for (bool implicit : {false, true}) {
        VsftpdServer server(implicit);
        TempDir dir;
        const std::string down = randomBytes(300'000), up = randomBytes(200'000) + "\r\n";
        writeFile(server.path("down.bin"), down);
        writeFile(dir.file("up.bin"), up);
        const std::vector<std::pair<std::string, std::string>> tree = {{"a.txt", "alpha\r\n"},
                                                                       {"sub/b.bin", randomBytes(50'000)}};
        for (const auto& [name, content] : tree) writeFile(server.path("tree/" + name), content);
        const std::string settings = std::string(implicit ? "--tls implicit --passive false" : "--tls explicit") +
                                     " --cafile " + windowsPath(server.certificate()) + " --local " +
                                     windowsPath(dir.path()) + " --recurse true --debug 2";
        RunResult r = run({.input = useTlsServer(server, settings) +
                                    "list\nget --src down.bin\nput --src up.bin\ncwd --name tree\nmget\nquit\n"});
        const std::string out = consoleLines(r.out);
        EXPECT_TRUE(contains(out, " connected to 127.0.0.1\n Loggedin\n")) << out;
        EXPECT_TRUE(contains(out, " down.bin\n")) << "the listing names the file\n" << out;
        EXPECT_TRUE(contains(out, "2 files saved to " + local(dir) + "\n")) << out;
        EXPECT_FALSE(contains(out, "fail")) << out;
        EXPECT_EQ(readFile(dir.file("down.bin")), down);
        EXPECT_EQ(readFile(server.path("up.bin")), up);
        for (const auto& [name, content] : tree) EXPECT_EQ(readFile(dir.file(name)), content) << name;
        // Every data connection resumed the control connection's session.
        EXPECT_EQ(count(r.err, "TLS control connection: TLSv1."), 1u) << r.err;
        EXPECT_GE(count(r.err, "TLS data connection: TLSv1."), 5u) << r.err;
        EXPECT_EQ(count(r.err, "TLS data connection: TLSv1."), count(r.err, ", session resumed\n")) << r.err;
        const std::string log = server.log();
        EXPECT_EQ(contains(log, "\"AUTH TLS\""), !implicit) << log;
        EXPECT_TRUE(contains(log, implicit ? "\"PORT 127,0,0,1," : "\"PASV\"")) << log;
        EXPECT_LT(log.find("\"PASS <password>\""), log.find("\"PROT P\"")) << log;
    }
}

// The refusals read as in the Linux build. The Windows build trusts the
// authorities of the user's trusted root store without a cafile.
TEST_F(WindowsBuild, FtpsRefusesUntrustedCertificatesAndServersWithoutTls) {
    VsftpdServer server;
    const std::string login = useTlsServer(server, "--tls explicit --debug 1") + "login\nquit\n";
    RunResult r = run({.input = login});
    EXPECT_TRUE(contains(consoleLines(r.out),
                         " Unable to connect to 127.0.0.1 \n \n"
                         " TLS handshake failed: the server's certificate is not trusted: self-signed certificate\n"))
        << consoleLines(r.out);
    EXPECT_FALSE(contains(server.log(), "\"USER ")) << server.log();
    {
        TrustedRoot trusted(server.certificate());
        r = run({.input = login});
        EXPECT_TRUE(contains(consoleLines(r.out), " connected to 127.0.0.1\n")) << consoleLines(r.out);
        EXPECT_TRUE(contains(consoleLines(r.out), " Loggedin\n")) << consoleLines(r.out);
    }

    TestServer plain;
    r = run({.input = useServer(plain, "--tls explicit --debug 1") + "login\nquit\n"});
    EXPECT_TRUE(contains(consoleLines(r.out),
                         " Unable to connect to 127.0.0.1 \n \n"
                         " The server refuses TLS: 500 Command \"AUTH\" not understood.\n"
                         " login failure: connect first, please\n"))
        << consoleLines(r.out);
    EXPECT_TRUE(contains(plain.log(), "AUTH TLS"));
    EXPECT_FALSE(contains(plain.log(), "USER") || contains(plain.log(), "PASS")) << plain.log();
}

TEST_F(WindowsBuild, TreesWithBackslashPathsAndAZipUpload) {
    TestServer server;
    TempDir up, down;
    const std::vector<std::pair<std::string, std::string>> tree = {
        {"a.txt", "alpha"}, {"sub/b.txt", "bravo"}, {"sub/deep/c.txt", "charlie"}};
    for (const auto& [name, content] : tree) writeFile(up.file(name), content);
    const std::string archive = windowsPath(dataFolder()) + "pack.zip";
    // "/" typed in a local path becomes "\".
    auto forwardSlashes = [](const std::string& path) {
        std::string typed = windowsPath(path);
        std::replace(typed.begin(), typed.end(), '\\', '/');
        return typed;
    };
    RunResult r =
        run({.input = useServer(server, "--recurse true --local " + windowsPath(up.path())) + "mput\nset --local " +
                      forwardSlashes(down.path()) + "\nmget\nmkd --name zip\ncwd --name zip\nset --local " +
                      windowsPath(up.path()) + "\nmput --compress pack.zip\nquit\n"});
    const std::string out = consoleLines(r.out);
    const std::vector<std::string> lines = {
        " Made dir: sub\n",
        " Made dir: sub/deep\n",
        "/3 Uploading a.txt to a.txt ...\n",
        "/3 Uploading sub\\b.txt to sub/b.txt ...\n",
        "/3 Uploading sub\\deep\\c.txt to sub/deep/c.txt ...\n",
        " 3 files uploaded to /\n",
        "/3 Downloading sub\\deep\\c.txt to " + local(down) + "sub\\deep\\c.txt... \n",
        "3 files saved to " + local(down) + "\n",
        " 1/1 Uploading " + archive + " to pack.zip ...\n",
        " 1 files uploaded to /zip\n"};
    for (const std::string& line : lines) EXPECT_TRUE(contains(out, line)) << line << " in\n" << out;
    for (const auto& [name, content] : tree) {
        EXPECT_EQ(readFile(server.path(name)), content) << name;
        EXPECT_EQ(readFile(down.file(name)), content) << name;
    }
    EXPECT_EQ(readFile(server.path("zip/pack.zip")), readFile(dataFolder() + "pack.zip"));
    const std::string listing = commandOutput("unzip -Z1 " + server.path("zip/pack.zip") + " | sort");
    EXPECT_EQ(listing, "a.txt\nsub/b.txt\nsub/deep/c.txt\n");
    EXPECT_TRUE(contains(commandOutput("unzip -p " + server.path("zip/pack.zip") + " sub/deep/c.txt"), "charlie"));
}

TEST_F(WindowsBuild, CtrlCEndsThePromptAndATransfer) {
    DorvanProcess idle(options({}));
    ASSERT_TRUE(idle.waitForOutput(prompt, 20s)) << idle.out();
    idle.sendSignal(SIGINT);
    RunResult r = idle.wait(10s);
    EXPECT_FALSE(r.timedOut) << "wine delivers SIGINT as the console's Ctrl+C event";
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(fileExists(program.file("Dorvan_Home.url"))) << "the clean-up ran";

    TestServer server({.faults = {"stall-data"}});
    writeFile(server.path("f.bin"), std::string(100'000, 'x'));
    TempDir dir;
    writeFile(dir.file("cmds.txt"),
              useServer(server, "--local " + windowsPath(dir.path())) + "get --src f.bin\nstatus\n");
    DorvanProcess busy(options({.args = {"@" + windowsPath(dir.file("cmds.txt"))}}));
    ASSERT_TRUE(busy.waitForOutput(" dowloading f.bin", 20s)) << busy.out();
    busy.sendSignal(SIGINT);
    r = busy.wait(10s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 0);
    const std::string out = consoleLines(r.out);
    EXPECT_TRUE(contains(out, "get f.bin failure: Aborted\n FTP closed\n")) << out;
    EXPECT_FALSE(contains(out, "isConnected")) << "the file stops after the interrupt";
    EXPECT_FALSE(fileExists(dir.file("f.bin")));
}

}  // namespace
