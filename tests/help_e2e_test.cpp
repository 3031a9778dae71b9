// The help verbs, `generate`, the shortcut files and the openers, seen from
// outside: the built program runs as a child and its console output is
// compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/markdown_export.h"
#include "settings/product.h"
#include "settings/usage.h"
#include "support/console_texts.h"
#include "support/run_dorvan.h"

using namespace dorvan::test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string argumentHelpReply(const std::string& name) { return dorvan::argumentHelp(name).value() + "\n\n"; }

RunResult runInteractive(const std::string& input, RunOptions options = {}) {
    options.input = input;
    return runDorvan(options);
}

// A copy of the program in a folder of its own, with a data folder of its
// own that every run shares.
struct PrivateProgram {
    TempDir folder{"dorvan-program-"};
    TempDir dataHome{"dorvan-program-data-"};
    std::string binary = folder.file("dorvan");
    std::string dataFolder = dataHome.path() + "/Tolvane/Dorvan/";
    PrivateProgram() { fs::copy_file(DORVAN_BINARY, binary); }

    RunResult run(const std::string& input, std::vector<std::string> args = {}) const {
        return runDorvan({.args = std::move(args), .input = input, .dataHome = dataHome.path(), .binary = binary});
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST(HelpEndToEnd, UsageScreenListsTheThirtyCommands) {
    RunResult run = runInteractive("help\n?\nhelp\n? ?\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, session({usageReply(), usageReply(), usageReply(), commandHelpReply("help")}));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log(), "");

    const std::vector<std::string> expected = {
        "set",    "connect", "login",    "disconnect", "quit", "get", "put",      "dele",   "mget", "mput", "mdele",
        "mirror", "literal", "list",     "nlst",       "mkd",  "pwd", "rename",   "rmd",    "size", "mdtm", "syst",
        "cwd",    "cdup",    "response", "home",       "man",  "log", "@cmdfile", "status", "help"};
    const std::string& usage = dorvan::usageText();
    size_t start = usage.find(" Commands: \n");
    size_t end = usage.find("\n\n Arguments: \n");
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    std::vector<std::string> listed;
    for (size_t at = start + 12; at < end + 1;) {
        size_t lineEnd = usage.find("\n", at);
        std::string line = usage.substr(at, lineEnd - at);
        std::string name = line.substr(2, line.find(' ', 2) - 2);
        listed.push_back(name);
        EXPECT_EQ(line,
                  "  " + name + std::string(12 - name.size(), ' ') + dorvan::firstLine(dorvan::commandHelp(name)));
        at = lineEnd + 1;
    }
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(usage.find("generate"), std::string::npos);

    // Leaving the program by any way writes the shortcuts into the data folder.
    EXPECT_TRUE(fileExists(run.dataHome + "/Tolvane/Dorvan/Dorvan_Home.url"));
    EXPECT_TRUE(fileExists(run.dataHome + "/Tolvane/Dorvan/How_to_Dorvan.url"));
}

TEST(HelpEndToEnd, HelpRequestsPrintTheEntryAndRunNothing) {
    struct Case {
        std::string line;
        std::string reply;
        bool refused = false;  // the line was refused (and logged why)
    };
    const std::vector<Case> cases = {
        {"get ?", commandHelpReply("get")},
        {"GET ?", commandHelpReply("get")},
        {"get help", commandHelpReply("get")},
        {"get ? --host 127.0.0.1", commandHelpReply("get")},
        {"get HELP", "'HELP' is not an argument; did you mean --src HELP?\n", true},
        {"host ?", argumentHelpReply("host")},
        {"HOST help", argumentHelpReply("host")},
        {"--lcd ?", argumentHelpReply("local")},
        {"ls ?", commandHelpReply("list")},
        {"list ?", commandHelpReply("list")},
        {"help help", commandHelpReply("help")},
        {"help mget", commandHelpReply("mget")},
        {"help --host", argumentHelpReply("host")},
        {"help frob", "no help for 'frob'; help alone lists the commands and arguments\n", true},
        {"@cmdfile ?", commandHelpReply("@cmdfile")},
        {"@CmdFile help", commandHelpReply("@cmdfile")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        RunResult run = runInteractive(c.line + "\n");
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(run.out, session({c.reply}));
        EXPECT_EQ(run.log().empty(), !c.refused);
    }

    // A help request answered nothing stored: the host of the `get ?` line above was not kept.
    RunResult stored = runInteractive("get ? --host 127.0.0.1\nstatus\n");
    EXPECT_EQ(stored.out.find("127.0.0.1"), std::string::npos);

    // The same requests inside a command file.
    TempDir folder;
    writeFile(folder.file("cmds.txt"), "get ?\r\nhelp\r\nhost help\r\n");
    RunResult fromFile = runDorvan({.args = {"@" + folder.file("cmds.txt")}});
    EXPECT_EQ(fromFile.out, banner() + commandHelpReply("get") + usageReply() + argumentHelpReply("host") + prompt);
    EXPECT_EQ(fromFile.log(), "");
}

TEST(HelpEndToEnd, MarkdownAndShortcutFilesInTheDataFolder) {
    PrivateProgram program;
    const std::string home = program.dataFolder + "Dorvan_Home.url";
    const std::string manual = program.dataFolder + "How_to_Dorvan.url";
    const std::string markdown = program.dataFolder + "markdown.txt";
    const std::string homeContent = shortcutContent(dorvan::config().homePageAddress());
    const std::string manualContent = shortcutContent(dorvan::config().manualPageAddress());

    // `generate` prints nothing.
    RunResult first = program.run("generate\n");
    EXPECT_EQ(first.out, session({""}));
    EXPECT_EQ(readFile(markdown), dorvan::markdownDocument());
    EXPECT_EQ(readFile(home), homeContent);
    EXPECT_EQ(readFile(manual), manualContent);

    // A longer file is replaced, not appended to or partly overwritten.
    writeFile(markdown, std::string(dorvan::markdownDocument().size() + 1000, 'x'));
    RunResult twice = program.run("generate\ngenerate\n");
    EXPECT_EQ(twice.out, session({"", ""}));
    EXPECT_EQ(readFile(markdown), dorvan::markdownDocument());
    EXPECT_EQ(twice.log(), "");
    EXPECT_EQ(program.entries(), std::vector<std::string>{"dorvan"});  // nothing beside the program

    // A missing shortcut comes back whichever way the program ends; a present one is never touched.
    struct Case {
        std::string removed;
        std::vector<std::string> args;
        std::string input;
        int status = 0;
    };
    const std::vector<Case> cases = {
        {home, {}, "set --port 21\n"},
        {manual, {}, "quit\n"},
        {home, {"get", "--src", "a.txt"}, "", 1},  // the command fails: no host
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.removed + " " + c.input);
        fs::remove(c.removed);
        EXPECT_EQ(program.run(c.input, c.args).exitStatus, c.status);
        EXPECT_EQ(readFile(home), homeContent);
        EXPECT_EQ(readFile(manual), manualContent);
    }
    const std::string edited = "[InternetShortcut]\r\nURL=https://edited.example/\r\n";
    writeFile(home, edited);
    program.run("help\n");
    EXPECT_EQ(readFile(home), edited);
    EXPECT_EQ(readFile(manual), manualContent);

    // The file cannot be created: the error ends the interactive loop, the program still ends normally.
    fs::remove(markdown);
    fs::create_directory(markdown);
    RunResult failed = program.run("generate\nhelp\n");
    EXPECT_EQ(failed.exitStatus, 0);
    const std::string expectedStart = session({}) + "keepWindow catch ";
    ASSERT_EQ(failed.out.substr(0, expectedStart.size()), expectedStart);
    std::string reason = failed.out.substr(expectedStart.size());
    EXPECT_NE(reason.find(markdown), std::string::npos);
    EXPECT_TRUE(reason.ends_with("\n") && reason.find("\n") == reason.size() - 1) << reason;
    EXPECT_NE(failed.log().find("Error  Dorvan - keepWindow catch "), std::string::npos);
}

TEST(HelpEndToEnd, OpenersStartXdgOpenAndReturnAtOnce) {
    TempDir bin("dorvan-opener-");
    const std::string record = bin.file("opened.txt");
    writeFile(bin.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\nsleep 5\n");
    fs::permissions(bin.file("xdg-open"), fs::perms::owner_all);

    auto started = std::chrono::steady_clock::now();
    RunResult run = runInteractive("home\nman\nlog\n", {.pathFirst = bin.path()});
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.out, session({"", "", ""}));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.log(), "");
    EXPECT_LT(took, 4000ms) << "the program waited for the opener";

    // The openers run detached: give them a moment to record their arguments.
    auto recorded = [&] { return fileExists(record) ? readFile(record) : std::string(); };
    waitUntil([&] { return std::ranges::count(recorded(), '\n') >= 3; }, 5000ms);
    std::vector<std::string> opened;
    std::string text = recorded();
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        opened.push_back(text.substr(at, end - at));
    std::sort(opened.begin(), opened.end());
    std::vector<std::string> expected = {dorvan::config().homePageAddress(), dorvan::config().manualPageAddress(),
                                         run.dataHome + "/Tolvane/Dorvan/dorvan-log.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(opened, expected);

    // Without any xdg-open the commands succeed and say what they would have opened.
    TempDir empty("dorvan-nopath-");
    RunResult without = runInteractive("home\nman\nlog\n", {.env = {"PATH=" + empty.path()}});
    const std::string logPath = without.dataHome + "/Tolvane/Dorvan/dorvan-log.txt";
    EXPECT_EQ(without.exitStatus, 0);
    EXPECT_EQ(without.out,
              session({" " + dorvan::config().homePageAddress() + "\n", " man dorvan\n", " " + logPath + "\n"}));
    EXPECT_NE(without.log().find("Dorvan -  man dorvan"), std::string::npos);
}
