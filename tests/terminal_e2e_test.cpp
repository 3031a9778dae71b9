// The program at a terminal: line editing, history kept across runs, Tab completion.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/files.h"
#include "support/shell_command.h"
#include "support/terminal_session.h"

using namespace dorvan::test;

namespace {

const std::string prompt = " Dorvan>";

TerminalOptions atTerminal(const TempDir& data, const TempDir& work) {
    return {.args = {}, .env = {"XDG_DATA_HOME=" + data.path(), "TERM=xterm", "LANG=C.UTF-8"}, .workDir = work.path()};
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
                                 " src         : alpha-report.txt\r", " password    : secret-word\r"})
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

}  // namespace
