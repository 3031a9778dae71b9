// The program at a terminal: line editing, history kept across runs, Tab completion.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/files.h"
#include "support/terminal_session.h"

using namespace dorvan::test;

namespace {

const std::string prompt = " Dorvan>";

TerminalOptions atTerminal(const TempDir& data, const TempDir& work) {
    return {.args = {}, .env = {"XDG_DATA_HOME=" + data.path(), "TERM=xterm", "LANG=C.UTF-8"}, .workDir = work.path()};
}

std::string historyPath(const TempDir& data) { return data.path() + "/Tolvane/Dorvan/dorvan-history"; }

TEST(TerminalE2E, EditsCompletesAndRecallsHistoryFromAnEarlierRun) {
    TempDir data, work;
    writeFile(work.file("docsfolder/alpha-report.txt"), "x");
    {
        TerminalSession terminal(atTerminal(data, work));
        ASSERT_TRUE(terminal.waitFor(prompt));

        // Editing: the missing first letter is put in after Home.
        size_t from = terminal.mark();
        terminal.type("elp\x1b[Hh\r");
        EXPECT_TRUE(terminal.waitFor(" Usage:", from));

        // Completion of an argument, a local folder, a switch's value, a verb and
        // put's local file; Home and Delete turn the put line into a harmless set.
        from = terminal.mark();
        terminal.type("set --loc\tdocs\t\rset --passw\tsecret-word\rset --passive f\t\r");
        terminal.type("put --src alp\t\x01\x1b[3~\x1b[3~\x1b[3~set\rsta\t\r");
        for (const char* line : {" local       : docsfolder/\r", " passive     : false\r",
                                 " src         : alpha-report.txt\r", " password    : secret-word\r"})
            EXPECT_TRUE(terminal.waitFor(line, from)) << line;
        terminal.type("\x04");  // Ctrl+D on an empty line: end of input
        EXPECT_EQ(terminal.wait(), 0);
    }

    struct stat st{};
    ASSERT_EQ(::stat(historyPath(data).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string history = readFile(historyPath(data));
    EXPECT_EQ(history.find("secret-word"), std::string::npos);
    EXPECT_TRUE(history.starts_with("help\nset --local docsfolder/\nset --passive false \n")) << history;

    TerminalSession again(atTerminal(data, work));
    ASSERT_TRUE(again.waitFor(prompt));
    size_t from = again.mark();
    again.type("\x1b[A\r");  // Up: the last line of the earlier run
    EXPECT_TRUE(again.waitFor(" isConnected : false", from));
    again.type("\x12passive\r");  // Ctrl+R finds the line that set passive
    again.type("status\r");
    EXPECT_TRUE(again.waitFor("passive     : false", from));
    again.type("quit\r");
    EXPECT_EQ(again.wait(), 0);
}

}  // namespace
