// The program against servers that misbehave on the wire (a scripted raw
// server): overlong and split replies, replies out of step, data connections
// naming or coming from another host, replies that never end, short data,
// unusual greetings and a dropped connection; tree scans of listings with "\"
// in names, Shift-JIS names, trees that repeat or loop, folders that cannot be
// listed by path, no times, a listing without end.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <span>

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

// Runs each case against its own scripted server: the console lines must come in order, within 15 s.
void play(std::span<const Case> cases) {
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

// The actions of a LIST that sends `lines` (JSON text, lines ending in \r\n).
std::string listing(const std::string& lines) {
    return R"([{"send": "150 Here.\r\n"}, {"data": ")" + lines + R"("}, {"send": "226 Done.\r\n"}])";
}

std::string folder(const std::string& name) { return "drwxr-xr-x 2 u g 4096 Jan 01 2020 " + name + R"(\r\n)"; }
std::string file(const std::string& name) { return "-rw-r--r-- 1 u g 3 Jan 01 2020 " + name + R"(\r\n)"; }

const std::string deleted = R"("DELE": [{"send": "250 Deleted.\r\n"}])";
const std::string endless = "folder 'big' not listed, listing of more than 1000000 entries, stopped\n";
const std::string loop = "' leads back to a folder above it (listed alike down to 64 levels), left out\n";

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
         "--retries 0",
         "get --src f.bin\n",
         {"get f.bin failure: Download incomplete: 50 of 100 bytes received\n"},
         [](const TestServer&, const TempDir& local) { EXPECT_EQ(readFile(local.file("f.bin")), "old"); }},
        {"a TLS handshake sent one byte every half second, under a 3 s limit",
         R"({"connections": [{"commands": {"AUTH": [{"send": "234 Go ahead.\r\n"}, {"await": true},
             {"send": "\u0016\u0003\u0003\u0040\u0000"}, {"repeat": 40, "every": 0.5, "send": "\u0002"}]}}]})",
         "--tls explicit --timeout 3 --debug 1",
         "connect\n",
         {" Unable to connect to 127.0.0.1 \n \n Timeout: the TLS handshake did not end within 3 seconds\n"}},
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
    play(cases);
}

TEST(HostileServerEndToEnd, ScansReadAwkwardListingsAsTheServerMeantThem) {
    const Case cases[] = {
        {"a UNIX server: \"\\\" is part of the name",
         R"({"connections": [{"commands": {"LIST": )" + listing(file(R"(old\\important.bak)") + folder("old")) + ", " +
             deleted + "}}]}",
         "",
         "mdele --include *.bak\n",
         {" 1/1 delting old\\important.bak...\n", " mdele: 1 files deleted on /\n"},
         [](const TestServer& server, const TempDir&) {
             EXPECT_TRUE(contains(server.log(), "<- DELE old\\important.bak\n")) << server.log();
             EXPECT_FALSE(contains(server.log(), "DELE old/")) << server.log();
         }},
        {"a Windows server in Shift-JIS: 0x5C inside 表 is no separator",
         R"({"connections": [{"commands": {"SYST": [{"send": "215 Windows_NT\r\n"}], "LIST": )" +
             listing(R"(01-01-20  12:00PM                    5 \u0095\\.txt\r\n)"
                     R"(01-01-20  12:00PM                    3 sub\\a.txt\r\n)") +
             R"(}}], "files": {"\u0095\\.txt": "hello", "sub/a.txt": "abc"}})",
         "",
         "mget --encoding 932\n",
         {"2 files saved to "},
         [](const TestServer&, const TempDir& local) {
             EXPECT_EQ(readFile(local.file("\xE8\xA1\xA8.txt")), "hello");
             EXPECT_EQ(readFile(local.file("sub/a.txt")), "abc");
         }},
        {"a real tree that repeats itself three levels deep",
         R"({"connections": [{"commands": {"LIST": )" + listing(folder("proj")) + R"(, "LIST proj": )" +
             listing(folder("proj")) + R"(, "LIST proj/proj": )" + listing(folder("proj")) +
             R"(, "LIST proj/proj/proj": )" + listing(file("main.c")) +
             R"(}}], "files": {"proj/proj/proj/main.c": "int"}})",
         "",
         "mget --recurse true\n",
         {" 1/1 Downloading proj/proj/proj/main.c", "1 files saved to "},
         [](const TestServer&, const TempDir& local) {
             EXPECT_EQ(readFile(local.file("proj/proj/proj/main.c")), "int");
         }},
        {"a server whose every folder holds two that lead back",
         R"({"connections": [{"commands": {"LIST": )" + listing(folder("a") + folder("b")) + "}}]}",
         "",
         "mget --recurse true\nrmd --name x --recurse true\n",
         {"mget failure: folder 'a" + loop, "mget failure: folder 'b" + loop, "mget failure: No files matched on : /\n",
          "rmd failure: folder 'x/a" + loop, "rmd failure: folder 'x/b" + loop, "remove dir 'x' failure, 502 "},
         [](const TestServer& server, const TempDir&) {
             EXPECT_LT(count(server.log(), "<- LIST"), 300u);
             EXPECT_FALSE(contains(server.log(), "<- RMD x/")) << "nothing sent for a loop";
         }},
        {"a server that splits the LIST argument at blanks, and a folder that cannot be listed",
         R"({"connections": [{"commands": {"LIST": )" + listing(folder("sub dir") + folder("locked") + file("a.txt")) +
             R"(, "LIST sub dir": )" + listing("") +
             R"(, "LIST locked": [{"send": "550 Permission denied.\r\n"}],
             "CWD locked": [{"send": "550 Permission denied.\r\n"}]},
             "folders": {"sub dir": {"LIST": )" +
             listing(file("inner file.txt")) + R"(}}}], "files": {"a.txt": "abc", "sub dir/inner file.txt": "inn"}})",
         "",
         "mget --recurse true\n",
         {"mget failure: folder 'locked' not listed, 550 Permission denied.\n",
          " 1/2 Downloading sub dir/inner file.txt", " 2/2 Downloading a.txt", ", scan failures: 1\n"},
         [](const TestServer& server, const TempDir& local) {
             EXPECT_EQ(readFile(local.file("sub dir/inner file.txt")), "inn");
             EXPECT_TRUE(contains(server.log(), "<- CWD sub dir\n<- PASV\n<- LIST\n<- CWD /\n")) << server.log();
         }},
        {"no system type, so no listed times: deleting scans keep what they cannot date",
         R"({"connections": [{"commands": {"SYST": [{"send": "500 Unknown command.\r\n"}], "LIST": )" +
             listing(file("old.tmp")) + ", " + deleted + "}}]}",
         "",
         "mdele --include *.tmp --gmodified 1440 --debug 1\nset --debug 0\nmget --justprint true\n",
         {" mdele: kept old.tmp, its time is unknown\n", " mdele: No file matched on 127.0.0.1\n",
          " mget: found old.tmp\n"},
         [](const TestServer& server, const TempDir&) { EXPECT_FALSE(contains(server.log(), "DELE")); }},
        {"a listing without end fails its folder, which nothing is deleted in",
         R"({"connections": [{"commands": {"LIST": )" + listing(folder("big") + file("a.txt")) +
             R"(, "LIST big": [{"send": "150 Here.\r\n"}, {"stream": ")" + file("x.tmp") +
             R"("}, {"send": "426 Aborted.\r\n"}], )" + deleted + R"(}}], "files": {"a.txt": "abc"}})",
         "",
         "mget --recurse true\nmdele --recurse true\n",
         {"mget failure: " + endless, "\n1 files saved to ", ", scan failures: 1\n", "mdele failure: " + endless,
          " 1/1 delting a.txt...\n mdele: 1 files deleted on /, scan failures: 1\n"},
         [](const TestServer& server, const TempDir& local) {
             EXPECT_EQ(readFile(local.file("a.txt")), "abc");
             EXPECT_EQ(count(server.log(), "<- DELE"), 1u) << server.log();
             EXPECT_EQ(count(server.log(), "<- LIST big"), 2u) << "one try per scan" << server.log();
         }},
    };
    play(cases);
}
