#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/console.h"
#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/product.h"
#include "settings/usage.h"
#include "shell/verb_table.h"

using namespace dorvan;

namespace {

const std::vector<std::string> commandOrder = {
    "set",    "connect", "login",    "disconnect", "quit", "get", "put",      "dele",   "mget", "mput", "mdele",
    "mirror", "literal", "list",     "nlst",       "mkd",  "pwd", "rename",   "rmd",    "size", "mdtm", "syst",
    "cwd",    "cdup",    "response", "home",       "man",  "log", "@cmdfile", "status", "help"};

const std::vector<std::string> argumentOrder = {
    "host",       "port",       "username",  "password", "remote",    "local",     "passive",   "overwrite", "image",
    "expresp",    "recurse",    "include",   "exclude",  "lsize",     "gsize",     "lmodified", "gmodified", "maxfiles",
    "maxfolders", "name",       "src",       "dst",      "justprint", "keepalive", "debug",     "encoding",  "compress",
    "timeout",    "errorlevel", "tls",       "verify",   "cafile",    "parallel",  "retries",   "retrywait", "resume",
    "keeptime",   "netrc",      "direction", "delete",   "maxdelete", "journal",   "checksum",  "ratelimit"};

std::vector<std::string> splitLines(const std::string& text, const std::string& separator) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + separator.size())
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

// Everything written to standard output while `action` runs.
template <typename Action>
std::string captureStdout(Action action) {
    std::fflush(stdout);
    std::FILE* sink = std::tmpfile();
    int saved = ::dup(STDOUT_FILENO);
    ::dup2(::fileno(sink), STDOUT_FILENO);
    action();
    platform::consoleFlush();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    std::string out;
    std::rewind(sink);
    for (int c; (c = std::fgetc(sink)) != EOF;) out += static_cast<char>(c);
    std::fclose(sink);
    return out;
}

}  // namespace

TEST(Usage, ListsCommandsThenArgumentsWithExactLayout) {
    const std::string& usage = usageText();
    EXPECT_EQ(&usage, &usageText());
    EXPECT_EQ(usage, usageText());

    std::string head = config().banner() +
                       "\n Usage:        Dorvan <command> [--<argument> <parameters>]\n"
                       "               Dorvan [--<argument> <parameters>] [@<command file>]\n"
                       "               Dorvan @<command file> [--<argument> <parameters>]\n"
                       "               Dorvan --help\n"
                       " A command given on the process command line runs once, then the program ends: exit status 0 "
                       "when it\n succeeded, 1 when it failed, 64 when the command line was not understood. "
                       "Arguments given first are\n stored, the command file runs, then commands are read from the "
                       "prompt (or from standard input).\n Commands: \n";
    ASSERT_EQ(usage.substr(0, head.size()), head);
    std::string tail =
        "\n Please Note: Parameters that include spaces must be enclosed in quotes\n"
        "\n To get a short description af a particular command or argument, type that command or argument followed "
        "by a question mark\n example: connect ?\n";
    ASSERT_GE(usage.size(), tail.size());
    EXPECT_EQ(usage.substr(usage.size() - tail.size()), tail);

    std::string body = usage.substr(head.size(), usage.size() - head.size() - tail.size());
    size_t split = body.find("\n Arguments: \n");
    ASSERT_NE(split, std::string::npos);
    std::vector<std::string> commandLines = splitLines(body.substr(0, split), "\n");
    std::vector<std::string> argumentLines = splitLines(body.substr(split + 14), "\n");
    ASSERT_EQ(commandLines.back(), "");
    ASSERT_EQ(argumentLines.back(), "");
    commandLines.pop_back();
    argumentLines.pop_back();

    std::vector<std::string> commands, arguments;
    for (const std::string& line : commandLines) commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    for (const std::string& line : argumentLines) arguments.push_back(line.substr(4, line.find(' ', 4) - 4));
    EXPECT_EQ(commands, commandOrder);
    EXPECT_EQ(arguments, argumentOrder);
    EXPECT_EQ(usage.find("generate"), std::string::npos);

    for (const char* line :
         {"\n  connect      connect to remote server \n", "\n  @cmdfile     read commands from @textfile\n",
          "\n  disconnect   terminate ftp session\n",
          "\n  --maxfolders   Specifies the maximum number of folders to find. \n",
          "\n  --encoding    choose the encoding of ftp server\n",
          "\n  --timeout      seconds to wait for the server before a command fails (default 60)\n"})
        EXPECT_NE(usage.find(line), std::string::npos) << line;
}

TEST(Usage, PrintsUsageAndTheHelpOfOneItem) {
    EXPECT_EQ(captureStdout([] { EXPECT_TRUE(printUsage()); }), usageText() + "\n");
    EXPECT_EQ(captureStdout([] { EXPECT_TRUE(printItemHelp("get")); }), commandHelp("get") + "\n\n");
    EXPECT_EQ(captureStdout([] { EXPECT_TRUE(printItemHelp("host")); }), *argumentHelp("host") + "\n\n");
    EXPECT_EQ(captureStdout([] { EXPECT_FALSE(printItemHelp("ls")); }), "");
    EXPECT_EQ(captureStdout([] { EXPECT_FALSE(printItemHelp("generate")); }), "");
}

TEST(CommandHelp, FilledTextsAndLookup) {
    std::string get = commandHelp("get");
    EXPECT_EQ(firstLine(get), " receive one file");
    EXPECT_NE(get.find("\nsyntax:\n    get --src sourceFile [--dst destinationFile] [--image <true or false>] "
                       "[--local localFolder]\n"),
              std::string::npos);
    EXPECT_NE(get.find("\nsave as a different name :\n"
                       "    get --src \"my customer.txt\" --dst MyCustomer.txt --local \"D:\\My Documents\\\""),
              std::string::npos);

    EXPECT_EQ(commandHelp("nlst"),
              " list file names of remote directory\nsyntax:\n    nlst [--name directory]\n"
              "list contents of current directory:\n    nlst\n    \n"
              "list contents of specified direstory:\n    nlst --name /home/dirname");

    EXPECT_NE(
        commandHelp("mdele").find(
            "syntax:\n"
            "    mdele [--justprint <true or false>] [--include wildcard|wildcard] [--exclude wildcard|wildcard] \n"
            "    [--lsize KBs] [--gsize KBs] [--lmodified minutes] [--gmodified minutes] \n"
            "    [--maxfiles number] [--maxfolders number] [--recurse <false or true>]...\n"),
        std::string::npos);

    for (const char* absent : {"GET", "Get", "ls", "generate", "", "get "})
        EXPECT_EQ(commandHelp(absent), "") << absent;

    EXPECT_EQ(firstLine("a\r\nb"), "a");
    EXPECT_EQ(firstLine("a\nb\rc"), "a");
    EXPECT_EQ(firstLine("whole"), "whole");
    EXPECT_EQ(firstLine(""), "");
}

// A verb's help text stands under its row's name; "@cmdfile" tells how to
// run a command file, which is no verb.
TEST(CommandHelp, EveryVerbHasHelpAndEveryTextAVerb) {
    std::vector<std::string> documented;
    for (const Verb& verb : verbRows()) {
        EXPECT_EQ(commandHelp(verb.name).empty(), verb.hidden) << verb.name;
        if (!verb.hidden) documented.emplace_back(verb.name);
    }
    for (const auto& entry : commandHelpTable()) {
        const bool ofAVerb = std::find(documented.begin(), documented.end(), entry.name) != documented.end();
        EXPECT_TRUE(ofAVerb || entry.name == "@cmdfile") << entry.name;
    }
}

TEST(ArgumentHelp, FilledTextsAndLookup) {
    EXPECT_EQ(*argumentHelp("host"),
              " host name or ip address\nsyntax:\n    --host host\n"
              "host name:\n    --host ftp.example.com\n    \n"
              "ip address:\n    --host 192.168.1.20");
    std::string include = *argumentHelp("include");
    EXPECT_EQ(firstLine(include), " wildcard path include filter, separated by |");
    EXPECT_NE(include.find("\nsyntax:\n    --include filter|filter\n"), std::string::npos);
    EXPECT_NE(include.find("\n    --include \"*.doc|*.jpg\"\n"), std::string::npos);
    EXPECT_NE(argumentHelp("exclude")->find("\n    --exclude filter|filter\n"), std::string::npos);
    EXPECT_EQ(*argumentHelp("expresp"), " expected response code for literal, default 2\nsyntax:\n    --expresp num");
    EXPECT_EQ(*argumentHelp("timeout"),
              " seconds to wait for the server before a command fails (default 60)\nsyntax:\n    --timeout seconds\n"
              "wait up to two minutes:\n    --timeout 120");

    std::vector<std::string> names;
    for (const auto& entry : argumentHelpTable()) names.push_back(entry.name);
    EXPECT_EQ(names, argumentOrder);
    for (const char* absent : {"Host", "--host", "lcd", "ls", ""}) EXPECT_FALSE(argumentHelp(absent)) << absent;
}

// Summary, "syntax:", indented syntax lines, then labelled blocks of indented
// examples separated by a line of four spaces; nothing left unformatted.
TEST(HelpTexts, EveryTextFollowsTheLayout) {
    for (const HelpTable* table : {&commandHelpTable(), &argumentHelpTable()}) {
        for (const auto& [name, text] : *table) {
            SCOPED_TRACE(name);
            EXPECT_EQ(text.find_first_of("{}\r"), std::string::npos);
            std::vector<std::string> lines = splitLines(text, "\n");
            ASSERT_GE(lines.size(), 3u);
            EXPECT_NE(lines[0], "");
            EXPECT_EQ(lines[1], "syntax:");
            size_t i = 2;
            EXPECT_TRUE(lines[i].starts_with("    ") && lines[i].size() > 4);
            while (i < lines.size() && lines[i].starts_with("    ")) ++i;
            while (i < lines.size()) {
                EXPECT_TRUE(lines[i].ends_with(":") && !lines[i].starts_with(" ")) << lines[i];
                ++i;
                ASSERT_LT(i, lines.size()) << "label without example";
                for (; i < lines.size() && lines[i] != "    "; ++i)
                    EXPECT_TRUE(lines[i].starts_with("    ") && lines[i].size() > 4) << lines[i];
                if (i < lines.size()) ++i;
                EXPECT_TRUE(i < lines.size() || lines.back() != "    ") << "separator at the end";
            }
        }
    }
}
