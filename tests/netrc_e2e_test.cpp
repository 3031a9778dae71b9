// Credentials from the netrc file: a machine entry, the default entry, a
// file others can read refused, and the password never shown.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;

TEST(NetrcEndToEnd, LoginTakesTheHostsEntryOrTheDefaultAndRefusesAFileOthersCanRead) {
    TestServer server({.password = "Netrc-Pw-7"});
    TempDir dir;
    const std::string netrc = dir.file("netrc"), port = std::to_string(server.port());
    writeFile(netrc, "machine 127.0.0.1 login tester password Netrc-Pw-7\ndefault login tester password Netrc-Pw-7\n");
    chmod(netrc.c_str(), 0600);
    RunResult r =
        runDorvan({.input = "set --host 127.0.0.1 --port " + port + " --netrc true --debug 3\nlogin\nclose\n" +
                            "set --host localhost --port " + port + "\nlogin\nquit\n",
                   .env = {"NETRC=" + netrc}});
    EXPECT_EQ(consoleLines(r.out),
              " connected to 127.0.0.1\n Loggedin\n FTP closed\n connected to localhost\n Loggedin\n FTP closed\n");
    EXPECT_EQ(count(r.err, "PASS ****"), 2u) << r.err;
    EXPECT_FALSE(contains(r.out + r.err + r.log(), "Netrc-Pw-7"));

    chmod(netrc.c_str(), 0644);
    const size_t logged = server.log().size();
    r = runDorvan(
        {.input = "login --host 127.0.0.1 --port " + port + " --netrc true\nquit\n", .env = {"NETRC=" + netrc}});
    EXPECT_EQ(consoleLines(r.out), " connected to 127.0.0.1\n login failure: other users can read or change " + netrc +
                                       " (mode 0644), not used; make it private: chmod 600 " + netrc + "\n");
    EXPECT_FALSE(contains(server.log().substr(logged), "<- USER")) << server.log();
}
