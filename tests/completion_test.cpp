// What Tab does: a single candidate is closed by a blank unless it is a
// folder, a blank in it opens a quote, several share only what they have in
// common, and nothing left to add lists them.
#include <gtest/gtest.h>

#include "shell/completion.h"
#include "support/files.h"

using dorvan::platform::TabAction;
using Kind = TabAction::Kind;

TEST(Completion, ActionsForVerbsSwitchesAndLocalNames) {
    dorvan::test::TempDir local;
    dorvan::test::writeFile(local.file("my file.txt"), "");
    dorvan::test::writeFile(local.file("my dir/inner.txt"), "");
    dorvan::test::writeFile(local.file(".hidden"), "");
    const dorvan::CompletionTables tables{
        .verbs = {"put", "pwd", "status"},
        .arguments = {"passive", "password", "src"},
        .booleanArguments = {"passive"},
        .localPaths = {{.argument = "src", .verb = "put", .baseFolder = [&] { return local.path(); }}},
    };
    struct Case {
        const char* line;
        TabAction expected;
    } cases[] = {
        {"STA", {.kind = Kind::replace, .replaceFrom = 0, .insert = "status "}},
        {"p", {.kind = Kind::list, .choices = {"put", "pwd"}}},
        {"put --pass", {.kind = Kind::list, .choices = {"--passive", "--password"}}},
        {"put --passive f", {.kind = Kind::replace, .replaceFrom = 14, .insert = "false "}},
        {"put --src m", {.kind = Kind::replace, .replaceFrom = 10, .insert = "\"my "}},
        {"put --src \"my d", {.kind = Kind::replace, .replaceFrom = 10, .insert = "\"my dir/"}},
        {"put --src \"my dir/", {.kind = Kind::replace, .replaceFrom = 10, .insert = "\"my dir/inner.txt\" "}},
        {"pwd --src m", {}},
    };
    for (const Case& c : cases) {
        TabAction action = dorvan::complete(c.line, tables);
        EXPECT_EQ(action.kind, c.expected.kind) << c.line;
        EXPECT_EQ(action.choices, c.expected.choices) << c.line;
        EXPECT_EQ(action.replaceFrom, c.expected.replaceFrom) << c.line;
        EXPECT_EQ(action.insert, c.expected.insert) << c.line;
    }
}
