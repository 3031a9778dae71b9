// The built program driven end to end through standard input and command files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include "support/console_texts.h"
#include "support/files.h"
#include "support/run_dorvan.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

std::string programFolder() {
    std::string binary = DORVAN_BINARY;
    return binary.substr(0, binary.rfind('/') + 1);
}

// A command file beside the program, removed at the end of the test.
class ProgramFolderFile {
public:
    ProgramFolderFile(const std::string& name, const std::string& content)
        : path_(programFolder() + name + "-" + std::to_string(::getpid())) {
        writeFile(path_, content);
    }
    ~ProgramFolderFile() { ::unlink(path_.c_str()); }
    std::string name() const { return path_.substr(programFolder().size()); }

private:
    std::string path_;
};

}  // namespace

TEST(ShellEndToEnd, PipedCommandsStatusAndSettingsThatPersist) {
    RunResult r = runDorvan({.input = "status\nset --host h1 --port abc --username u\nstatus\nquit\n"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, banner() + prompt + defaultStatus + prompt + "Invalid port number 'abc'\n" + prompt +
                         withHost(defaultStatus, "h1") + prompt);
    EXPECT_EQ(r.err, "");

    // The log holds each message once, in the documented record layout.
    std::string log = r.log();
    EXPECT_NE(log.find(" Error  Dorvan - Invalid port number 'abc'\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("isConnected"), std::string::npos);  // status is console only
    ASSERT_GE(log.size(), 24u);
    EXPECT_EQ(log[4], '-');
    EXPECT_EQ(log[10], ' ');
    EXPECT_EQ(log[19], ',');

    // Unknown verbs, comments, blank lines and an empty quoted verb; end of input without quit.
    r = runDorvan({.input = "Foo --port 2121\n\n\"\"\n#comment\n  # note\n\"my verb\"\nstatus"});
    EXPECT_EQ(r.exitStatus, 0);
    std::string status = defaultStatus;
    status.replace(status.find("21\n"), 2, "2121");
    EXPECT_EQ(r.out, banner() + prompt + "unknown command: foo\n" + prompt + prompt + prompt + prompt +
                         "unknown command: #\n" + prompt + "unknown command: my verb\n" + prompt + status + prompt);
}

TEST(ShellEndToEnd, ProcessCommandLine) {
    // --help and -h alone print the usage screen, which begins with the banner;
    // a line that is not understood gets an error and status 64; a command runs once.
    const std::string noHost =
        " Host name not specified\n" + dorvan::commandHelp("connect") + "\n login failure: connect first, please\n";
    struct Case {
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {{"--help"}, usageReply(), 0},
        {{"-h"}, usageReply(), 0},
        {{"--version"}, banner() + "Unknown argument '--version'\n", 64},
        {{"--help", "--debug"}, banner() + "Unknown argument '--help'\n", 64},
        {{"@"}, banner() + "'@' is not a command, an argument or a command file; see dorvan --help\n", 64},
        {{"get", "--src", "a.txt"}, banner() + noHost, 1},
    };
    for (const Case& c : cases) {
        RunResult r = runDorvan({.args = c.args, .input = "status\n"});
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.exitStatus, c.status) << c.args[0];
    }
    RunResult r;

    // A relative command file: from the current folder first, then from the program's folder.
    TempDir work;
    r = runDorvan({.args = {"@nofile-for-test"}, .input = "quit\n", .workDir = work.path()});
    EXPECT_EQ(r.out, banner() + "Specified path does not exists: '" + work.file("nofile-for-test") + "'\n" + prompt);

    // Arguments after the @ token are stored before the first line of the file runs.
    ProgramFolderFile file("cmds-args.txt", "status\nquit\n");
    r = runDorvan({.args = {"@" + file.name(), "--host", "h1", "--debug", "1"}, .workDir = work.path()});
    std::string status = withHost(defaultStatus, "h1");
    status.replace(status.find("debug       : 0"), 15, "debug       : 1");
    EXPECT_EQ(r.out, banner() + status);

    writeFile(work.file(file.name()), "set --host h2\nstatus\nquit\n");
    r = runDorvan({.args = {"@" + file.name()}, .workDir = work.path()});
    EXPECT_EQ(r.out, banner() + withHost(defaultStatus, "h2"));
}

TEST(ShellEndToEnd, CommandFilesEncodingsAndLineRules) {
    TempDir dir;
    const std::string text = "set --name \xC3\xA4\xE2\x82\xAC\nstatus\nquit";  // ä€
    std::string expected = withLine(defaultStatus, "expresp", " name        : \xC3\xA4\xE2\x82\xAC");
    int n = 0;
    std::vector<std::string> contents = withByteOrderMarks(U"set --name \u00E4\u20AC\nstatus\nquit");
    contents.push_back(text);
    for (const std::string& content : contents) {
        std::string path = dir.file("enc" + std::to_string(n++) + ".txt");
        writeFile(path, content);
        RunResult r = runDorvan({.args = {"@" + path}});
        EXPECT_EQ(r.out, banner() + expected) << "file " << n - 1;
    }

    // Comments, blank and quoted lines; quit in the middle lets the rest run.
    std::string path = dir.file("rules.txt");
    writeFile(path, "\r\n# first comment\r\n\r\n\"set --host h2\"\r\n  \r\nquit\r\n#x\r\nstatus\r\n\r\n");
    RunResult r = runDorvan({.args = {"@" + path}, .input = "status\n"});
    EXPECT_EQ(r.out, banner() + defaultStatus);  // quit reset the host; no prompt afterwards

    // close after quit clears the quit request: the prompt follows the file.
    writeFile(path, "quit\nclose\n");
    r = runDorvan({.args = {"@" + path}, .input = "set --host h3\nstatus\n"});
    EXPECT_EQ(r.out, banner() + prompt + prompt + withHost(defaultStatus, "h3") + prompt);

    // A failed connect stops the file; other failures do not.
    writeFile(path, "get\nstatus\nconnect\nstatus\n");
    r = runDorvan({.args = {"@" + path}, .input = "quit\n"});
    EXPECT_NE(r.out.find("Host name not specified"), std::string::npos);
    size_t first = r.out.find(" isConnected");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(r.out.find(" isConnected", first + 1), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with(prompt)) << r.out;

    // Empty files and folders as command files; a file at the prompt.
    writeFile(path, " \r\n\t\n");
    r = runDorvan({.args = {"@" + path}, .input = "quit\n"});
    EXPECT_EQ(r.out, banner() + "empty file @" + path + "\n" + prompt);
    r = runDorvan({.args = {"@" + dir.path()}, .input = "quit\n"});
    EXPECT_EQ(r.out, banner() + prompt);
    EXPECT_NE(r.log().find("Error  Dorvan - parstAt catch "), std::string::npos) << r.log();

    writeFile(path, "status\n");
    r = runDorvan({.input = "@" + path + " --host h4\n@" + path + " ?\nquit\n"});
    EXPECT_EQ(r.out,
              banner() + prompt + withHost(defaultStatus, "h4") + prompt + withHost(defaultStatus, "h4") + prompt);
}

TEST(ShellEndToEnd, LogFileCapAndAppend) {
    TempDir data;
    std::string folder = data.path() + "/Tolvane/Dorvan/";
    // Over the cap the log becomes dorvan-log.1.txt, replacing an older one, and stays private.
    writeFile(folder + "dorvan-log.1.txt", "older");
    writeFile(folder + "dorvan-log.txt", std::string(512'001, 'x'));
    ::chmod((folder + "dorvan-log.txt").c_str(), 0600);  // as the program makes it
    RunResult r = runDorvan({.input = "foo\n", .dataHome = data.path()});
    std::string log = r.log();
    EXPECT_EQ(log.find('x'), std::string::npos);
    EXPECT_TRUE(log.ends_with(" Error  Dorvan - unknown command: foo\n")) << log;
    EXPECT_EQ(readFile(folder + "dorvan-log.1.txt"), std::string(512'001, 'x'));
    struct stat previous;
    ASSERT_EQ(::stat((folder + "dorvan-log.1.txt").c_str(), &previous), 0);
    EXPECT_EQ(previous.st_mode & 0777, 0600u);

    writeFile(folder + "dorvan-log.txt", std::string(512'000, 'x'));
    r = runDorvan({.input = "bar\n", .dataHome = data.path()});
    log = r.log();
    EXPECT_EQ(log.substr(0, 512'000), std::string(512'000, 'x'));
    EXPECT_TRUE(log.ends_with(" Error  Dorvan - unknown command: bar\n"));

    // Without a usable data folder the program still runs, with console output only.
    writeFile(data.path() + "/blocked", "");
    r = runDorvan({.input = "baz\n", .dataHome = data.path() + "/blocked"});
    EXPECT_EQ(r.out, banner() + prompt + "unknown command: baz\n" + prompt);
    EXPECT_EQ(r.exitStatus, 0);
}

TEST(ShellEndToEnd, InterruptAtThePromptEndsAtOnce) {
    for (int signal : {SIGINT, SIGTERM}) {
        DorvanProcess process{RunOptions{}};
        ASSERT_TRUE(process.waitForOutput(prompt, 10s));
        auto started = std::chrono::steady_clock::now();
        process.sendSignal(signal);
        RunResult r = process.wait(10s);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitStatus, 0) << "signal " << signal;
        EXPECT_EQ(r.termSignal, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    }
}
