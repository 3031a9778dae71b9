// The exit status a scheduler sees: always 0 by default; with errorlevel, 1
// after a failure and 2 after a console control event.
#include <gtest/gtest.h>

#include <csignal>

#include "support/files.h"
#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

TEST(ExitStatus, FailuresAndSignalsOnlyWithErrorlevel) {
    TestServer server;
    TempDir local;
    writeFile(server.path("here.txt"), "data");
    const std::string setup = useServer(server, "--local " + local.path());

    struct Case {
        const char* name;
        std::vector<std::string> args;  // --errorlevel also works on the process command line
        std::string input;
        int expected;
    };
    const Case cases[] = {
        {"good session", {}, setup + "get --src here.txt\nset --errorlevel true\nquit\n", 0},
        {"failed get, default", {}, setup + "get --src missing.txt\nquit\n", 0},
        {"failed get", {}, setup + "set --errorlevel true\nget --src missing.txt\nget --src here.txt\nquit\n", 1},
        {"failed list", {}, setup + "set --errorlevel true\nlist --name missing\nquit\n", 1},
        {"given at start", {"@nofile", "--errorlevel", "true"}, "", 1},  // the missing file is the failure
    };
    for (const Case& c : cases) {
        RunResult r = runDorvan({.args = c.args, .input = c.input});
        EXPECT_EQ(r.exitStatus, c.expected) << c.name << "\n" << r.out;
    }
    EXPECT_EQ(readFile(local.file("here.txt")), "data");

    for (const char* errorlevel : {"false", "true"}) {
        DorvanProcess process({.input = std::string("set --errorlevel ") + errorlevel + "\nstatus\n"});
        ASSERT_TRUE(process.waitForOutput(std::string(" errorlevel  : ") + errorlevel, 10s));
        process.sendSignal(SIGTERM);
        EXPECT_EQ(process.wait(10s).exitStatus, errorlevel == std::string("true") ? 2 : 0) << errorlevel;
    }
}
