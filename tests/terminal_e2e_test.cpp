// The program at a terminal: line editing, history kept across runs, Tab
// completion, the live status line of transfers.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/files.h"
#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/terminal_session.h"
#include "support/test_server.h"

using namespace dorvan::test;

namespace {

const std::string prompt = " Dorvan>";

TerminalOptions atTerminal(const TempDir& data, const TempDir& work) {
    return {.args = {}, .env = {"XDG_DATA_HOME=" + data.path(), "TERM=xterm", "LANG=C.UTF-8"}, .workDir = work.path()};
}

// The screen's bytes with every status line (drawn at a line's start, then
// erased in place) taken out; `shown` gets each status line's text.
std::string withoutStatusLines(const std::string& screen, std::vector<std::string>& shown) {
    const std::string erase = "\r\x1b[K";
    std::string text;
    for (size_t i = 0; i < screen.size();) {
        if (screen.compare(i, erase.size(), erase) == 0) {
            size_t lineStart = text.rfind('\n') + 1;
            if (lineStart < text.size()) shown.push_back(text.substr(lineStart));
            text.erase(lineStart);
            i += erase.size();
        } else if (screen.compare(i, 2, "\r\n") == 0) {  // the terminal puts a CR before each LF
            text += '\n';
            i += 2;
        } else {
            text += screen[i++];
        }
    }
    return text;
}

std::string historyPath(const TempDir& data) { return data.path() + "/Tolvane/Dorvan/dorvan-history"; }

// Types one line's keys once the line editor reads them (keys typed ahead meet
// the terminal's own line editing, which takes Ctrl+R, Ctrl+D and others for
// itself) and waits for the next prompt. Returns what was shown meanwhile.
std::string enter(TerminalSession& terminal, const std::string& keys) {
    EXPECT_TRUE(terminal.waitForKeyByKeyInput());
    size_t from = terminal.mark();
    terminal.type(keys);
    EXPECT_TRUE(terminal.waitFor(prompt, from)) << keys;
    return terminal.output().substr(from);
}

TEST(TerminalE2E, EditsCompletesAndRecallsHistoryFromAnEarlierRun) {
    TempDir data, work;
    writeFile(work.file("docsfolder/alpha-report.txt"), "x");
    {
        TerminalSession terminal(atTerminal(data, work));
        ASSERT_TRUE(terminal.waitFor(prompt));

        // Editing: the missing first letter is put in after Home.
        EXPECT_TRUE(contains(enter(terminal, "elp\x1b[Hh\r"), " Usage:"));

        // Completion of an argument, a local folder, a switch's value, put's
        // local file (Home and Delete then make it a harmless set) and a verb.
        enter(terminal, "set --loc\tdocs\t\r");
        enter(terminal, "set --passw\tsecret-word\r");
        enter(terminal, "set --passive f\t\r");
        enter(terminal, "put --src alp\t\x01\x1b[3~\x1b[3~\x1b[3~set\r");
        std::string status = enter(terminal, "sta\t\r");
        for (const char* line : {" local       : docsfolder/\r", " passive     : false\r",
                                 " src         : alpha-report.txt\r", " password    : ****\r"})
            EXPECT_TRUE(contains(status, line)) << line;
        ASSERT_TRUE(terminal.waitForKeyByKeyInput());
        terminal.type("\x04");  // Ctrl+D on an empty line: end of input
        EXPECT_EQ(terminal.wait(), 0);
    }

    struct stat st {};
    ASSERT_EQ(::stat(historyPath(data).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string history = readFile(historyPath(data));
    EXPECT_EQ(history.find("secret-word"), std::string::npos);
    EXPECT_TRUE(history.starts_with("help\nset --local docsfolder/\nset --passive false \n")) << history;

    TerminalSession again(atTerminal(data, work));
    ASSERT_TRUE(again.waitFor(prompt));
    // Up brings back the last line of the earlier run, Ctrl+R the line that set passive.
    EXPECT_TRUE(contains(enter(again, "\x1b[A\r"), " isConnected : false"));
    enter(again, "\x12passive\r");
    EXPECT_TRUE(contains(enter(again, "status\r"), " passive     : false\r"));
    again.type("quit\r");
    EXPECT_EQ(again.wait(), 0);
}

TEST(TerminalE2E, StatusLineShowsSlowTransfersAndLeavesEveryMessageWhole) {
    TestServer server({.faults = {"throttle=25165824", "announce-size"}});  // 24 MiB a second
    TempDir local, work;
    writeFile(server.path("big.bin"), randomBytes(64 << 20, 3));
    writeFile(work.file("commands.txt"),
              useServer(server, "--local " + local.path()) + "get --src big.bin\nmget\nnlst\nquit\n");
    const std::string expected = " connected to 127.0.0.1\n Loggedin\n dowloading big.bin to " + local.file("big.bin") +
                                 " ...\n 1/1 Downloading big.bin to " + local.file("big.bin") +
                                 "... \n1 files saved to " + local.path() + "/\nbig.bin\n FTP closed\n";

    RunResult piped = runDorvan({.args = {"@" + work.file("commands.txt")}});
    EXPECT_EQ(consoleLines(piped.out), expected);

    TerminalSession terminal(
        {.args = {"@" + work.file("commands.txt")}, .env = {"XDG_DATA_HOME=" + piped.dataHome, "TERM=xterm"}});
    ASSERT_EQ(terminal.wait(std::chrono::seconds(60)), 0);
    std::vector<std::string> shown;
    std::string screen = withoutStatusLines(terminal.output(), shown);
    // Nothing but the title and the status lines tells the terminal from the pipe.
    EXPECT_EQ(screen, "\x1b]0;Dorvan\x07" + piped.out);
    ASSERT_GE(shown.size(), 4u) << terminal.output();
    struct Expected {
        const char* start;
        const char* part;
    } lines[] = {{"big.bin  ", "/64.0 MB  "}, {"file 1 of 1  big.bin  ", "  batch "}};
    for (const Expected& line : lines) {
        auto match = std::find_if(shown.begin(), shown.end(), [&](const std::string& text) {
            return text.starts_with(line.start) && contains(text, line.part) && contains(text, "MB/s  0:0") &&
                   text.ends_with(" left");
        });
        EXPECT_NE(match, shown.end()) << line.start << "\n" << terminal.output();
    }
    // A listing over within half a second shows none.
    EXPECT_FALSE(
        std::any_of(shown.begin(), shown.end(), [](const std::string& text) { return text.starts_with("nlst"); }));
    EXPECT_EQ(count(piped.log(), "Info   Dorvan -  dowloading big.bin"), 2u) << "both runs, and nothing more";
    EXPECT_FALSE(contains(piped.log(), "MB/s"));
}

}  // namespace

TEST(TerminalE2E, ServerRepliesNeverDriveTheTerminalOnEitherStream) {
    // The system type carries an OSC title sequence and a C1 CSI; --debug 2
    // traces it on standard error at the login and the literal, response
    // prints it on standard output.
    TestServer server({.script = R"({"connections": [{"commands": {"SYST":
        [{"send": "215 UNIX \u001b]0;owned\u0007 \u00c2\u009b2J\r\n"}]}}]})"});
    TempDir data, work;
    writeFile(work.file("commands.txt"), useServer(server, "--debug 2") + "literal --name SYST\nresponse\nquit\n");
    TerminalSession terminal(
        {.args = {"@" + work.file("commands.txt")}, .env = {"XDG_DATA_HOME=" + data.path(), "TERM=xterm"}});
    ASSERT_EQ(terminal.wait(), 0);
    const std::string& screen = terminal.output();
    EXPECT_EQ(count(screen, "215 UNIX ?]0;owned? ?2J\r"), 3u) << screen;
    EXPECT_FALSE(contains(screen, "\x1b]0;owned")) << screen;
    EXPECT_FALSE(contains(screen, "\xC2\x9B")) << screen;
}

TEST(TerminalE2E, TypedLoginAsksForAMissingPasswordWithoutEchoingIt) {
    TestServer server;
    TempDir data, work;
    const std::string toServer = "--host 127.0.0.1 --port " + std::to_string(server.port()) + " --username tester";
    writeFile(work.file("cmds.txt"), "login " + toServer + "\n");
    TerminalSession terminal(atTerminal(data, work));
    ASSERT_TRUE(terminal.waitFor(prompt));
    // A command file asks nothing.
    EXPECT_TRUE(contains(enter(terminal, "@" + work.file("cmds.txt") + "\r"), " password not specified\r"));

    ASSERT_TRUE(terminal.waitForKeyByKeyInput());
    const size_t from = terminal.mark();
    terminal.type("disconnect\r");
    ASSERT_TRUE(terminal.waitFor(prompt, from));
    ASSERT_TRUE(terminal.waitForKeyByKeyInput());
    terminal.type("login " + toServer + "\r");
    ASSERT_TRUE(terminal.waitFor("Password: ", from));
    terminal.type(server.password() + "\r");
    ASSERT_TRUE(terminal.waitFor(" Loggedin\r", from)) << terminal.output();
    // The prompt after the login, before the next command is typed.
    ASSERT_TRUE(terminal.waitFor(prompt, terminal.output().find(" Loggedin\r", from)));
    EXPECT_TRUE(contains(enter(terminal, "status\r"), " password    : ****\r"));
    terminal.type("quit\r");
    EXPECT_EQ(terminal.wait(), 0);
    EXPECT_FALSE(contains(terminal.output(), server.password())) << terminal.output();
    EXPECT_FALSE(contains(readFile(historyPath(data)), server.password()));
    EXPECT_FALSE(contains(logText(data.path()), server.password()));
}
