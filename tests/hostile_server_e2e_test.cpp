// The program against servers that misbehave on the wire (a scripted raw
// server): overlong and split replies, replies out of step, data connections
// naming or coming from another host, replies that never end, short data,
// unusual greetings and a dropped connection.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "support/run_dorvan.h"
#include "support/session_script.h"
#include "support/shell_command.h"
#include "support/test_server.h"

using namespace dorvan::test;
using namespace std::chrono_literals;

namespace {

struct Case {
    const char* what;
    std::string script;                // JSON for scripted_ftp_server.py
    std::string settings;              // added to the set line
    std::string commands;              // after the set line; quit follows
    std::vector<std::string> console;  // in this order in the console lines
    std::function<void(const TestServer&, const TempDir&)> check = nullptr;
};

const std::string longName(3000, 'p');

}  // namespace

TEST(HostileServerEndToEnd, EveryMisbehaviourFailsCleanlyOrIsHandled) {
    const Case cases[] = {
        {"a 1,024-byte greeting line split after its 1,024th byte, a 3,000-byte folder",
         R"({"connections": [{"greeting": [{"send": "220 )" + std::string(1020, 'A') +
             R"("}, {"sleep": 0.2}, {"send": ")" + std::string(300, 'B') +
             R"(\r\n"}], "commands": {"PWD": [{"send": "257 \"/)" + longName + R"(\" is current\r\n"}]}}]})",
         "",
         "pwd\n",
         {" connected to 127.0.0.1\n", " Loggedin\n", "/" + longName + "\n"}},
        {"a passive reply naming another host; TYPE is sent once",
         R"({"connections": [{"commands": {"PASV": [{"pasv": "127.0.0.2"}]}}], "files": {"f.txt": "passive data"}})",
         "",
         "get --src f.txt\nget --src f.txt --dst g.txt\n",
         {" dowloading f.txt", " dowloading f.txt"},
         [](const TestServer& server, const TempDir& local) {
             EXPECT_EQ(readFile(local.file("f.txt")), "passive data");
             EXPECT_EQ(readFile(local.file("g.txt")), "passive data");
             EXPECT_EQ(count(server.log(), "<- TYPE"), 1u) << server.log();
         }},
        {"an active data connection from another host first",
         R"({"connections": [{"commands": {"RETR": [{"send": "150 Opening.\r\n"},
             {"data": "active data", "foreign": "EVIL"}, {"send": "226 Done.\r\n"}]}}]})",
         "--passive false",
         "get --src f.txt\n",
         {" dowloading f.txt"},
         [](const TestServer& server, const TempDir& local) {
             EXPECT_EQ(readFile(local.file("f.txt")), "active data");
             EXPECT_TRUE(contains(server.log(), "foreign connection closed by the client")) << server.log();
         }},
        {"two replies to one command, a 1xx before the final reply",
         R"({"connections": [{"commands": {"SITE DOUBLE": [{"send": "200 One.\r\n200 Two.\r\n"}],
             "DELE": [{"send": "550 Access is denied.\r\n"}],
             "SIZE": [{"send": "150 checking\r\n"}, {"sleep": 0.2}, {"send": "213 10\r\n"}]}}]})",
         "",
         "literal --name \"SITE DOUBLE\"\ndele --name x\nsize --name f\nresponse\n",
         {"dele x failure, 550 Access is denied.\n", " f: 10 bytes\n", "213 10\n"}},
        {"a reply that trickles forever, under a 3 s limit",
         R"({"connections": [{"commands": {"PWD": [{"repeat": 40, "every": 0.5, "send": "257-line\r\n"}]}}]})",
         "--timeout 3",
         "pwd\n",
         {" Loggedin\n", "pwd failure: Timeout: "}},
        {"fewer bytes than announced, then 226",
         R"({"connections": [{"commands": {"RETR": [
             {"send": "150 Opening BINARY mode data connection for f.bin (100 bytes).\r\n"},
             {"data": ")" +
             std::string(50, 'x') + R"("}, {"send": "226 Transfer complete.\r\n"}]}}]})",
         "",
         "get --src f.bin\n",
         {"get f.bin failure: Download incomplete: 50 of 100 bytes received\n"},
         [](const TestServer&, const TempDir& local) { EXPECT_EQ(readFile(local.file("f.bin")), "old"); }},
        {"a TLS handshake sent one byte every half second, under a 3 s limit",
         R"({"connections": [{"commands": {"AUTH": [{"send": "234 Go ahead.\r\n"},
             {"send": "\u0016\u0003\u0003\u0040\u0000"}, {"repeat": 40, "every": 0.5, "send": "\u0002"}]}}]})",
         "--tls explicit --timeout 3",
         "connect\n",
         {" Unable to connect to 127.0.0.1 \n Timeout: the TLS handshake did not end within 3 seconds\n"}},
        {"list and nlst refused, a listing cut short by 426, an empty listing",
         R"({"connections": [{"commands": {"LIST missing": [{"send": "550 missing: No such file.\r\n"}],
             "NLST missing": [{"send": "450 missing: No such file.\r\n"}],
             "LIST cut": [{"send": "150 Here.\r\n"}, {"data": "-rw-r--r-- 1 u g 5 Jan 01 2024 a.txt\r\n"},
                          {"send": "426 Connection closed; transfer aborted.\r\n"}],
             "LIST": [{"send": "150 Here.\r\n"}, {"data": ""}, {"send": "226 Done.\r\n"}]}}]})",
         "",
         "list --name missing\nnlst --name missing\nlist --name cut\nlist\npwd\n",
         {"list missing failure, 550 missing: No such file.\n", "nlst missing failure, 450 missing: No such file.\n",
          "-rw-r--r-- 1 u g 5 Jan 01 2024 a.txt\nlist cut failure, 426 Connection closed; transfer aborted.\n/\n"}},
        {"120 then 220",
         R"({"connections": [{"greeting": [{"send": "120 In a moment.\r\n"}, {"sleep": 0.3},
             {"send": "220 Ready.\r\n"}]}]})",
         "",
         "pwd\n",
         {" connected to 127.0.0.1\n", " Loggedin\n", "/\n"}},
        {"a 421 greeting, then a closed one",
         R"({"connections": [{"greeting": [{"send": "421 Too many users.\r\n"}, {"close": true}]},
             {"greeting": [{"close": true}]}]})",
         "--debug 1",
         "connect\nconnect\n",
         {" Unable to connect to 127.0.0.1 \n \n 421 Too many users.\n",
          " Unable to connect to 127.0.0.1 \n \n Connection to the server lost while waiting for the greeting: "}},
        {"the connection lost, then the next command connects again",
         R"({"connections": [{"commands": {"PWD": [{"close": true}]}}, {}]})",
         "",
         "pwd\nstatus\npwd\n",
         {" Loggedin\n", "pwd failure: Connection to the server lost while waiting for a reply: ",
          " isConnected : false\n isLoggedin  : false\n", " connected to 127.0.0.1\n", " Loggedin\n", "/\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestServer server({.script = c.script});
        TempDir local;
        writeFile(local.file("f.bin"), "old");
        auto started = std::chrono::steady_clock::now();
        RunResult r = runDorvan(
            {.input = useServer(server, "--local " + local.path() + (c.settings.empty() ? "" : " " + c.settings)) +
                      c.commands + "quit\n",
             .timeout = 30s});
        EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        std::string out = consoleLines(r.out);
        size_t at = 0;
        for (const std::string& line : c.console) {
            size_t found = out.find(line, at);
            EXPECT_NE(found, std::string::npos) << "missing \"" << line << "\" in:\n" << out << server.log();
            if (found != std::string::npos) at = found + line.size();
        }
        if (c.check) c.check(server, local);
    }
}
