// Lines a script gets slightly wrong are refused whole, and the process
// command line runs a command, stores arguments before the prompt, or says
// what it did not understand.
#include <gtest/gtest.h>

#include "settings/argument_help.h"
#include "support/console_texts.h"
#include "support/files.h"
#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;

TEST(CommandLineEndToEnd, MistypedLinesStoreAndDeleteNothing) {
    TestServer server;
    for (const char* name : {"del3/a.txt", "del3/b.tmp", "del3/sub/c.tmp"}) writeFile(server.path(name), "x");
    const std::vector<TranscriptStep> refused = {
        {"mdele --remote /del3 --recurse true --gmodifed 43200",
         {"Unknown argument '--gmodifed' (did you mean --gmodified?)"}},
        {"mdele /del3 --include *.tmp --recurse true", {"'/del3' is not an argument; did you mean --remote /del3?"}},
        {"set --recursive true --lcoal /tmp --Host x",
         {"Unknown argument '--recursive' (did you mean --recurse?)",
          "Unknown argument '--lcoal' (did you mean --local?)", "Unknown argument '--Host' (did you mean --host?)"}},
        {"set --include -x.tmp", {"Unknown argument '-x.tmp' (did you mean --include=-x.tmp?)"}},
        {"set --port 99999", {"Invalid port number '99999'"}},
        {"set --port -5", {"Invalid port number '-5'"}},
        {"cd /del3", {"'/del3' is not an argument; did you mean --name /del3?"}},
    };
    RunResult r = runDorvan({.input = useServer(server, "--errorlevel true") + transcriptInput(refused) +
                                      "mdele --remote /del3 --include *.tmp\nquit\n"});
    // The last mdele runs with the settings as the refused lines left them: no recursion, the right port.
    EXPECT_EQ(consoleLines(r.out), transcriptLines(refused) +
                                       " connected to 127.0.0.1\n working directory changed to '/del3'\n Loggedin\n"
                                       " 1/1 delting b.tmp...\n mdele: 1 files deleted on /del3\n"
                                       " FTP closed\n");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_TRUE(fileExists(server.path("del3/a.txt")));
    EXPECT_FALSE(fileExists(server.path("del3/b.tmp")));
    EXPECT_TRUE(fileExists(server.path("del3/sub/c.tmp")));
}

TEST(CommandLineEndToEnd, ProcessCommandLineForms) {
    TestServer server;
    TempDir local, work;
    writeFile(server.path("f.bin"), "payload");
    const std::vector<std::string> login = {"--host",     "127.0.0.1",   "--port",     std::to_string(server.port()),
                                            "--username", server.user(), "--password", server.password(),
                                            "--local",    local.path()};
    auto get = [&](const std::string& source) {
        std::vector<std::string> args = {"get", "--src", source};
        args.insert(args.end(), login.begin(), login.end());
        return args;
    };

    // A command runs once, without the prompt (its standard input is never read).
    RunResult r = runDorvan({.args = get("f.bin"), .input = "status\n"});
    EXPECT_EQ(r.out, banner() + " connected to 127.0.0.1\n Loggedin\n dowloading f.bin to " + local.file("f.bin") +
                         " ...\n FTP closed\n");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(readFile(local.file("f.bin")), "payload");
    r = runDorvan({.args = get("missing.bin"), .input = "status\n"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_FALSE(contains(r.out, prompt)) << r.out;

    // Arguments first: stored, the file named after them runs, then the piped commands.
    writeFile(work.file("job.txt"), useServer(server, "--local " + local.path()) + "get --src f.bin\n");
    r = runDorvan({.args = {"--errorlevel", "true", "@" + work.file("job.txt"), "--debug", "1"},
                   .input = "get --src missing.bin\nstatus\n"});
    EXPECT_TRUE(contains(r.out, " dowloading f.bin")) << r.out;
    EXPECT_TRUE(contains(r.out, prompt + " dowloading missing.bin")) << r.out;
    EXPECT_TRUE(contains(r.out, " debug       : 1\n")) << r.out;
    EXPECT_EQ(r.exitStatus, 1);

    struct Case {
        std::vector<std::string> args;
        std::string out;
        int status;
    } cases[] = {
        {{"frobnicate"},
         banner() + "'frobnicate' is not a command, an argument or a command file; see dorvan --help\n",
         64},
        {{"--gmodifed", "5"}, banner() + "Unknown argument '--gmodifed' (did you mean --gmodified?)\n", 64},
        {{"mdele", "/"}, banner() + "'/' is not an argument; did you mean --remote /?\n", 64},
        {{"help", "mget"}, banner() + commandHelpReply("mget"), 0},
        {{"--port", "?"}, banner() + dorvan::argumentHelp("port").value() + "\n\n", 0},
    };
    for (const Case& c : cases) {
        r = runDorvan({.args = c.args, .input = "status\n"});
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.exitStatus, c.status) << c.args[0];
    }
    EXPECT_TRUE(fileExists(server.path("f.bin")));
}
