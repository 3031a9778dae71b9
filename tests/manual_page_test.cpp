// The manual page in docs/ is the one the help tables give, and man renders it cleanly.
#include <gtest/gtest.h>

#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/manual_page.h"
#include "support/files.h"
#include "support/shell_command.h"

using namespace dorvan::test;

TEST(ManualPage, MatchesTheHelpTablesAndRendersWithoutWarnings) {
    const std::string path = std::string(DORVAN_SOURCE_DIR) + "/docs/dorvan.1";
    const std::string page = readFile(path);
    EXPECT_EQ(page, dorvan::manualPage()) << "out of date: cmake --build build --target update_manual_page";
    for (const auto& command : dorvan::commandHelpTable()) EXPECT_TRUE(contains(page, "\n.B " + command.name + "\n"));
    for (const auto& argument : dorvan::argumentHelpTable())
        EXPECT_TRUE(contains(page, "\n.B \\-\\-" + argument.name + "\n")) << argument.name;

    std::string rendered = commandOutput("MANWIDTH=100 man --warnings=w -l " + shellQuoted(path) + " | col -b");
    EXPECT_TRUE(contains(rendered, "get --src sourceFile [--dst destinationFile]")) << rendered;
    EXPECT_FALSE(contains(rendered, "warning:")) << rendered;
}
