// The netrc file: entries picked by host and user, tokens, comments and macros.
#include <gtest/gtest.h>

#include "commands/netrc.h"

using namespace dorvan;

TEST(Netrc, PicksTheEntryForTheHostElseTheDefault) {
    const std::string file =
        "# jobs\n"
        "machine ftp.example.org login joe password \"two words\"\n"
        "machine Files.Example.org\n  login ann\n  password p1\n"
        "machine files.example.org login bob password p2 account acct\n"
        "macdef init\nlogin evil\npassword evil\n\n"
        "machine quoted login \"a\\\"b\" password \"#not\\\\comment\"\n"
        "default login anonymous password me@home\n";
    struct Case {
        const char* host;
        const char* user;
        const char* login;  // nullptr: no entry
        const char* password;
    };
    const Case cases[] = {
        {"ftp.example.org", "", "joe", "two words"},
        {"FTP.EXAMPLE.ORG", "joe", "joe", "two words"},
        {"files.example.org", "", "ann", "p1"},
        {"files.example.org", "bob", "bob", "p2"},  // the account value and the macro body are no tokens
        {"quoted", "", "a\"b", "#not\\comment"},
        {"other.example.org", "", "anonymous", "me@home"},
        {"ftp.example.org", "zed", nullptr, nullptr},  // neither joe's entry nor the default's login
    };
    for (const Case& c : cases) {
        std::optional<NetrcEntry> entry = findNetrcEntry(file, c.host, c.user);
        ASSERT_EQ(entry.has_value(), c.login != nullptr) << c.host << " " << c.user;
        if (entry) {
            EXPECT_EQ(entry->login + "|" + entry->password, std::string(c.login) + "|" + c.password) << c.host;
        }
    }
    EXPECT_FALSE(findNetrcEntry("machine a login x password y", "b", "").has_value());
    EXPECT_EQ(findNetrcEntry("password early machine a password y", "a", "")->password, "y");
    EXPECT_EQ(findNetrcEntry("machine a login x", "a", "")->password, "");
    EXPECT_EQ(findNetrcEntry("macdef m\nmachine a login x\n\nmachine a login y", "a", "")->login, "y");
    EXPECT_EQ(findNetrcEntry("machine a login x password \"open", "a", "")->password, "open");
}
