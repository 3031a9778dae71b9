#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "settings/argument_help.h"
#include "settings/settings.h"
#include "shell/apply_arguments.h"
#include "shell/argument_check.h"
#include "shell/argument_parser.h"
#include "shell/argument_table.h"
#include "shell/tokenizer.h"
#include "shell/value_syntax.h"

using namespace dorvan;

namespace {

class StoringTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        resetSettings();
        Settings& s = settings();
        s.name.clear();
        s.src.clear();
        s.dst.clear();
        s.compress.clear();
        s.debug = 0;
        s.encoding = 0;
        s.keepalive = 30;
        s.timeout = 60;
        s.tls = "none";
        s.verify = true;
        s.cafile.clear();
        s.parallel = 1;
        s.retries = 3;
        s.retrywait = 2;
    }
    static bool apply(const std::string& line) { return applyArguments(splitCommandLine(line)); }
};

}  // namespace

TEST(ArgumentParser, PrefixesSeparatorsAliasesAndAccumulation) {
    auto parsed = parseArguments(splitCommandLine("@cmds --host=a --host:b --host c -x --port --lcd /tmp --1size 3"));
    EXPECT_EQ(parsed["host"].values, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(parsed.count("port"));
    EXPECT_TRUE(parsed["port"].values.empty());
    EXPECT_EQ(parsed["local"].values, std::vector<std::string>{"/tmp"});
    EXPECT_EQ(parsed["lsize"].values, std::vector<std::string>{"3"});
    EXPECT_FALSE(parsed.count("Host"));

    auto negative = parseArguments(splitCommandLine("set --keepalive -1 --debug=-1 --include= - --"));
    EXPECT_EQ(negative["keepalive"].values, std::vector<std::string>{"-1"});  // a negative number is a value
    EXPECT_EQ(negative["debug"].values, std::vector<std::string>{"-1"});
    EXPECT_TRUE(negative["include"].values.empty());
}

// Names no row reads, each with the name it most likely meant, and the
// values that follow no name.
TEST(ArgumentParser, UnreadNamesAndValuesWithTheirClosestNames) {
    struct Case {
        const char* line;
        std::vector<std::string> names;  // typed, then what it suggests
        std::vector<std::string> unnamed;
    };
    const Case cases[] = {
        {"mdele --remote /d --gmodifed 5", {"--gmodifed", "gmodified"}, {}},
        {"x --recursive true --lcoal /t --Host h --JUSTPRINT true",
         {"--recursive", "recurse", "--lcoal", "local", "--Host", "host"},
         {}},
        {"x --user u --bwlimit 5 --pass p", {"--user", "username", "--bwlimit", "", "--pass", ""}, {}},
        {"list /tree b --name n", {}, {"/tree", "b"}},
        {"@job.txt --port -5 --keepalive=-1 - --", {}, {}},
        {"x --name -notes.txt -v", {"-notes.txt", "", "-v", ""}, {}},
    };
    for (const Case& c : cases) {
        UnreadArguments unread = findUnreadArguments(splitCommandLine(c.line));
        std::vector<std::string> names;
        for (const auto& name : unread.names) {
            names.push_back(name.typed);
            names.push_back(name.typed.starts_with("--") ? closestArgumentName(name.typed.substr(2)) : "");
        }
        EXPECT_EQ(names, c.names) << c.line;
        EXPECT_EQ(unread.unnamedValues, c.unnamed) << c.line;
    }
    EXPECT_EQ(findUnreadArguments(splitCommandLine("x --name -notes.txt")).names.at(0).valueOf, "name");
    EXPECT_EQ(commandFileAfterPairs(splitCommandLine("dorvan --errorlevel true @job.txt --debug 1")), 3u);
    EXPECT_EQ(commandFileAfterPairs(splitCommandLine("dorvan --password @secret --host h")), 0u);
}

TEST(ValueSyntax, NumbersAndBooleans) {
    EXPECT_EQ(parseBoolean("TrUe"), true);
    EXPECT_EQ(parseBoolean("FALSE"), false);
    for (const char* bad : {"1", "0", "yes", "", " true"}) EXPECT_FALSE(parseBoolean(bad)) << bad;

    EXPECT_EQ(parseInt32(" \t-+-7"), -7);
    EXPECT_EQ(parseInt32("+-+12"), 12);
    EXPECT_EQ(parseInt32("007"), 7);
    EXPECT_EQ(parseInt32("2147483647"), 2147483647);
    EXPECT_EQ(parseInt32("-2147483648"), INT32_MIN);
    for (const char* bad : {"2147483648", "0x10", "12 ", "", "-", "1.5", "abc"}) EXPECT_FALSE(parseInt32(bad)) << bad;
    EXPECT_EQ(parseInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_FALSE(parseInt64("9223372036854775808"));
    EXPECT_EQ(parseUInt32("4294967295"), 4294967295u);
    EXPECT_FALSE(parseUInt32("-1"));
    EXPECT_FALSE(parseUInt32("4294967296"));
    EXPECT_EQ(parseKilobytes("+15"), 15);
    for (const char* bad : {"", "-5", "++1", " 1", "1k"}) EXPECT_FALSE(parseKilobytes(bad)) << bad;
}

TEST_F(StoringTest, FixedOrderStopsAtFirstRejectedValue) {
    Settings& s = settings();
    s.username = "before";
    EXPECT_FALSE(apply("set --username u --host h1 --port abc"));
    EXPECT_EQ(s.host, "h1");
    EXPECT_EQ(s.port, 21);
    EXPECT_EQ(s.username, "before");  // stored after port in the fixed order

    EXPECT_TRUE(apply("set --host a --host b --port=2121"));
    EXPECT_EQ(s.host, "b");
    EXPECT_EQ(s.port, 2121);
    EXPECT_TRUE(apply("set --port:2122"));
    EXPECT_EQ(s.port, 2122);

    EXPECT_FALSE(apply("set --overwrite maybe --name n"));
    EXPECT_EQ(s.name, "");
    EXPECT_FALSE(apply("set --debug x"));
    EXPECT_TRUE(apply("set --debug 9 --passive TRUE --image false --expresp 3xx"));
    EXPECT_EQ(s.debug, 9);
    EXPECT_TRUE(s.passive);
    EXPECT_EQ(s.transferType, 'A');
    EXPECT_EQ(s.expresp, '3');
    EXPECT_TRUE(apply("set --expresp \"\""));
    EXPECT_EQ(s.expresp, '3');
    EXPECT_TRUE(apply("set --justPrint true"));
    EXPECT_TRUE(s.justprint);
    // A name no row reads refuses the whole line.
    EXPECT_FALSE(apply("set --justprint false --JustPrint false --name -notes.txt"));
    EXPECT_TRUE(s.justprint);
    EXPECT_EQ(s.name, "");
    EXPECT_FALSE(apply("set --parallel 9"));
    EXPECT_FALSE(apply("set --parallel 0"));
    EXPECT_TRUE(apply("set --parallel 8"));
    EXPECT_EQ(s.parallel, 8);
    for (const char* refused : {"--retries=-1", "--retries 11", "--retrywait 0", "--retrywait 601"})
        EXPECT_FALSE(apply(std::string("set ") + refused)) << refused;
    EXPECT_TRUE(apply("set --retries 0 --retrywait 600"));
    EXPECT_EQ(s.retries, 0);
    EXPECT_EQ(s.retrywait, 600);
    EXPECT_FALSE(apply("set --timeout 0"));
    EXPECT_EQ(s.timeout, 60);
    EXPECT_FALSE(apply("set --encoding=-1"));
    EXPECT_TRUE(apply("set --encoding 1251 --keepalive=-1 --timeout 5"));
    EXPECT_EQ(s.encoding, 1251u);
    EXPECT_EQ(s.keepalive, -1);
    EXPECT_EQ(s.timeout, 5);
    EXPECT_TRUE(apply("set --keepalive -1"));
    EXPECT_EQ(s.keepalive, -1);
}

TEST_F(StoringTest, UnitsAndClearableMarkers) {
    Settings& s = settings();
    EXPECT_TRUE(apply("set --lsize 1024 --gsize 1 --lmodified 30 --gmodified 1440 --maxfiles 10 --maxfolders 0"));
    EXPECT_EQ(s.lsize, 1048576);
    EXPECT_EQ(s.gsize, 1024);
    EXPECT_EQ(s.lmodified, 18'000'000'000);
    EXPECT_EQ(s.gmodified, 1440LL * 600'000'000);
    EXPECT_EQ(s.maxfiles, 10);
    EXPECT_EQ(s.maxfolders, 0);
    EXPECT_TRUE(apply("set --include *.txt --exclude x --1size 10"));
    EXPECT_EQ(s.lsize, 10240);

    EXPECT_TRUE(apply("set --lsize --gsize --lmodified --gmodified --maxfiles --maxfolders --include= --exclude"));
    EXPECT_EQ(s.lsize, unsetSize);
    EXPECT_EQ(s.gsize, unsetSize);
    EXPECT_EQ(s.lmodified, unsetLimit);
    EXPECT_EQ(s.gmodified, unsetLimit);
    EXPECT_EQ(s.maxfiles, unsetLimit);
    EXPECT_EQ(s.maxfolders, unsetLimit);
    EXPECT_EQ(s.include, "");
    EXPECT_EQ(s.exclude, "");
    EXPECT_FALSE(apply("set --lsize=-5"));
    EXPECT_FALSE(apply("set --lsize -5"));
    EXPECT_EQ(s.lsize, unsetSize);
    for (const char* port : {"0", "65536", "99999", "-5"})
        EXPECT_FALSE(apply(std::string("set --port ") + port)) << port;
    EXPECT_TRUE(apply("set --port 65535"));
    EXPECT_EQ(s.port, 65535);
    EXPECT_TRUE(apply("set --port 1"));

    s.host = "kept";
    EXPECT_TRUE(apply("set --host --port"));
    EXPECT_EQ(s.host, "kept");
    EXPECT_EQ(s.port, 1);
}

TEST_F(StoringTest, RemoteAndLocalFolders) {
    Settings& s = settings();
    EXPECT_TRUE(apply("set --remote \"\\pub\\docs\\\""));
    EXPECT_EQ(s.remote, "/pub/docs");
    EXPECT_TRUE(apply("set --remote /"));
    EXPECT_EQ(s.remote, "/");
    EXPECT_TRUE(apply("set --remote"));
    EXPECT_EQ(s.remote, "");

    std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_TRUE(apply("set --lcd " + folder));
    EXPECT_EQ(s.local, folder + "/");
    // A rejected folder is reported but the arguments after it are still stored.
    EXPECT_TRUE(apply("set --local /no/such/folder --name after"));
    EXPECT_EQ(s.local, folder + "/");
    EXPECT_EQ(s.name, "after");
    EXPECT_TRUE(apply("set --local /etc/hostname"));
    EXPECT_EQ(s.local, folder + "/");
}

// Each argument is one row: it has a help text under its name, and no two rows
// share a status line or a typed name.
TEST(ArgumentTable, RowsMatchTheHelpTableAndNeverCollide) {
    std::set<std::string_view> typed, helped;
    std::set<int> statusLines;
    for (const ArgumentRow& row : argumentRows()) {
        EXPECT_TRUE(argumentHelp(row.name)) << row.name;
        EXPECT_TRUE(typed.insert(row.name).second) << row.name;
        for (std::string_view alias : row.aliases) {
            if (!alias.empty()) {
                EXPECT_TRUE(typed.insert(alias).second) << alias;
            }
        }
        if (row.status != StatusShape::hidden) {
            EXPECT_TRUE(statusLines.insert(row.statusLine).second) << row.name;
        }
    }
    for (const auto& entry : argumentHelpTable()) EXPECT_TRUE(typed.count(entry.name)) << entry.name;
}

TEST_F(StoringTest, TlsModeCertificateChecksAndTrustedFile) {
    Settings& s = settings();
    struct Case {
        const char* line;
        bool accepted;
        const char* tls;
        bool verify;
        const char* cafile;
    };
    const Case cases[] = {
        {"set --tls EXPLICIT", true, "explicit", true, ""},
        {"set --tls implicit --verify False", true, "implicit", false, ""},
        {"set --tls tls --verify true", false, "implicit", false, ""},  // a rejected value stops the storing
        {"set --verify yes", false, "implicit", false, ""},
        {"set --cafile /etc/hostname --tls None", true, "none", false, "/etc/hostname"},
        {"set --cafile /no/such.pem", false, "none", false, "/etc/hostname"},
        {"set --cafile /etc", false, "none", false, "/etc/hostname"},
        {"set --cafile", true, "none", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(apply(c.line), c.accepted) << c.line;
        EXPECT_EQ(s.tls, c.tls) << c.line;
        EXPECT_EQ(s.verify, c.verify) << c.line;
        EXPECT_EQ(s.cafile, c.cafile) << c.line;
    }
    // Closing the session keeps them: a job that reconnects stays on TLS.
    s.tls = "explicit";
    resetSettings();
    EXPECT_EQ(s.tls, "explicit");
    EXPECT_FALSE(s.verify);
}

TEST(MaskSecrets, EverySpellingOfAPasswordOrPassCommandIsHidden) {
    struct Case {
        const char* line;
        const char* masked;
    } cases[] = {
        {"login --password S3cret --host h", "login --password **** --host h"},
        {"login --password=S3cret", "login --password=****"},
        {"login --password:S3cret x", "login --password:**** ****"},
        {"  login  --password  \"two words\"  ", "  login  --password  \"****\"  "},
        {"login \"--password=a b\" --port 2", "login \"--password=****\" --port 2"},
        {"login --password \"\" -x --password a\"b", "login --password \"****\" -x --password ****"},
        {"login --passwords x --Password y --username password",
         "login --passwords x --Password y --username password"},
        {"login --password", "login --password"},
        {"", ""},
        // The argument of PASS and ACCT sent as a raw command, never another command's.
        {"literal --name \"PASS S3cret PW\" --expresp 2", "literal --name \"PASS ****\" --expresp 2"},
        {"quote --name=acct:x --name pass", "quote --name=acct:x --name pass"},
        {"quote \"--name=Acct 9\" --name \"NOOP PASS\"", "quote \"--name=Acct ****\" --name \"NOOP PASS\""},
    };
    for (const Case& c : cases) EXPECT_EQ(dorvan::maskSecrets(c.line), c.masked) << c.line;
}
