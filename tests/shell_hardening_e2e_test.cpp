// Hostile input and awkward moments: bad command files, huge lines, special
// files as upload sources, control events while a command blocks or while the
// program ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"
#include "text/terminal_safe.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

std::string utf16le(const std::u16string& text) {
    std::string out("\xFF\xFE", 2);
    for (char16_t c : text) out += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
}

}  // namespace

TEST(ShellHardening, BadCodeUnitAndOverlongLinesLoseNothingElse) {
    TempDir dir;
    std::u16string lines =
        u"set --host h1\nset --name a\xD800"
        u"b\nstatus\nquit\n";
    writeFile(dir.file("bad16.txt"), utf16le(lines));
    RunResult r = runDorvan({.args = {"@" + dir.file("bad16.txt")}});
    std::string out = consoleLines(r.out);
    EXPECT_EQ(count(out, "undecodable"), 1u) << out;
    EXPECT_TRUE(contains(out, "@" + dir.file("bad16.txt") + ": 1 undecodable code unit(s) replaced by U+FFFD\n"));
    EXPECT_TRUE(contains(out, " host        : h1\n")) << out;
    EXPECT_TRUE(contains(out,
                         " name        : a\xEF\xBF\xBD"
                         "b\n"))
        << out;
    EXPECT_FALSE(r.out.ends_with(" Dorvan>")) << "quit ran";

    // Over-long lines, in a file and on standard input: named, left out, the rest runs.
    // The 20 MB line also shows that reading stays linear.
    const std::string tooLong(1'048'577, 'x');
    writeFile(dir.file("long.txt"), "set --host h2\n" + tooLong + "\nstatus\n");
    r = runDorvan({.args = {"@" + dir.file("long.txt")},
                   .input = std::string(20'000'000, 'y') + "\nstatus\n" + tooLong + "\r\nquit\n",
                   .timeout = 20s});
    out = consoleLines(r.out);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(out, "@" + dir.file("long.txt") + " line 2 is longer than 1048576 bytes, not run\n" +
                       out.substr(out.find(" isConnected")));
    EXPECT_EQ(count(out, " host        : h2\n"), 2u) << out;
    EXPECT_TRUE(contains(out, "input line 1 is longer than 1048576 bytes, not run\n")) << out;
    EXPECT_TRUE(contains(out, "input line 3 is longer than 1048576 bytes, not run\n")) << out;
    EXPECT_TRUE(contains(r.log(), "Error  Dorvan - input line 3 is longer than 1048576 bytes, not run\n"));
}

TEST(ShellHardening, SpecialFilesAreNeverUploaded) {
    TestServer server;
    TempDir local;
    ASSERT_EQ(mkfifo(local.file("pipe").c_str(), 0600), 0);
    RunResult r = runDorvan({.input = useServer(server, "--local " + local.path()) +
                                      "put --src pipe\nput --src pipe --compress " + local.file("p.zip") + "\nquit\n",
                             .timeout = 20s});
    EXPECT_FALSE(r.timedOut);
    std::string refused = "put failure: specified file '" + local.file("pipe") + "' is not a regular file\n";
    EXPECT_EQ(count(consoleLines(r.out), refused), 2u) << r.out;
    EXPECT_FALSE(fileExists(server.path("pipe")));
    EXPECT_FALSE(fileExists(local.file("p.zip")));
}

TEST(ShellHardening, ControlEventEndsTheProgramWhileACommandBlocks) {
    // A command file that is a FIFO whose writer never writes: reading it blocks for good.
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("cmds").c_str(), 0600), 0);
    DorvanProcess process{RunOptions{.args = {"@" + dir.file("cmds")}}};
    int writer = -1;
    for (auto deadline = std::chrono::steady_clock::now() + 10s; writer < 0;) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        writer = ::open(dir.file("cmds").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // only once it reads
        if (writer < 0) process.waitForOutput("never shown", 10ms);
    }
    auto started = std::chrono::steady_clock::now();
    process.sendSignal(SIGTERM);
    RunResult r = process.wait(10s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 6s);
    ::close(writer);
}

TEST(ShellHardening, ControlEventAsTheProgramEndsIsHarmless) {
    for (int run = 0; run < 20; ++run) {
        DorvanProcess process{RunOptions{.input = "quit\n"}};
        ASSERT_TRUE(process.waitForOutput("\n", 10s));
        process.sendSignal(run % 2 ? SIGTERM : SIGINT);
        RunResult r = process.wait(10s);
        ASSERT_FALSE(r.timedOut);
        ASSERT_EQ(r.termSignal, 0) << "run " << run;
        ASSERT_EQ(r.exitStatus, 0) << "run " << run;
        ASSERT_EQ(r.err, "") << "run " << run;
    }
}

TEST(ShellHardening, PasswordsMaskedAndFilesPrivate) {
    TestServer server;
    TempDir local, dir;
    writeFile(local.file("a.txt"), "content");
    ::chmod(local.file("a.txt").c_str(), 0644);
    // An unknown code page makes the command throw, so its line is echoed.
    // A raw PASS or ACCT keeps its argument to itself too: in the echo, the
    // failure line, the trace and status.
    writeFile(dir.file("cmds.txt"), useServer(server, "--local " + local.path()) +
                                        "login\nput --src a.txt --compress a.zip\n"
                                        "literal --name \"ACCT S3cretPW\" --password=" +
                                        server.password() + " --encoding 99 --password \"" + server.password() +
                                        "\"\nset --encoding 65001 --debug 3\nquote --name \"PASS S3cretPW\"\n"
                                        "set --name \"acct S3cretPW\"\nstatus\nquit\n");
    RunResult r = runDorvan({.args = {"@" + dir.file("cmds.txt")}});
    const std::string echoed =
        "execute literal --name \"ACCT ****\" --password=**** --encoding 99 --password \"****\" "
        "catch CodePage.convert :: ";
    const std::string refused = "literal PASS **** failure, 503 User already authenticated.\n";
    for (const std::string& line : {echoed, refused}) {
        EXPECT_TRUE(contains(r.out, "\n" + line)) << r.out;
        EXPECT_TRUE(contains(r.log(), "Error  Dorvan - " + line)) << r.log();
    }
    EXPECT_TRUE(contains(r.err, "PASS ****\n503 User already authenticated.\r\n")) << r.err;
    EXPECT_TRUE(contains(r.out, " password    : ****\n")) << r.out;
    EXPECT_TRUE(contains(r.out, " name        : acct ****\n")) << r.out;
    EXPECT_FALSE(contains(r.out + r.err + r.log(), server.password()));
    EXPECT_FALSE(contains(r.out + r.err + r.log(), "S3cretPW"));

    auto mode = [](const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 01000;
    };
    const std::string data = r.dataHome + "/Tolvane/Dorvan/";
    EXPECT_EQ(mode(r.dataHome + "/Tolvane"), 0700u);
    EXPECT_EQ(mode(data), 0700u);
    EXPECT_EQ(mode(data + "dorvan-log.txt"), 0600u);
    EXPECT_EQ(mode(data + "a.zip"), 0600u);
    EXPECT_TRUE(fileExists(server.path("a.zip")));
}

TEST(ShellHardening, TerminalSeesNoControlCharacters) {
    struct Case {
        std::string text, shown;
    } cases[] = {
        {"a\tb\r\n", "a\tb\r\n"},
        {"x\ny\n", "x\ny\n"},
        {"\x1b]0;owned\x07\x1b[2J", "?]0;owned??[2J"},
        {"a\rb\r\r\nc\r", "a?b?\r\nc?"},
        {std::string("\0\x7f\x80\xC3\xA4", 5), "??\x80\xC3\xA4"},
        // C1 controls in UTF-8 (CSI, OSC, U+0080) become one '?'; U+00A0 and a lone C2 stay.
        {"\xC2\x9B"
         "2J\xC2\x9D"
         "0;t\xC2\x80\xC2\xA0\xC2",
         "?2J?0;t?\xC2\xA0\xC2"},
    };
    for (const Case& c : cases) EXPECT_EQ(dorvan::text::terminalSafe(c.text), c.shown) << c.text;
}
