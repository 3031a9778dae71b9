#pragma once
// The command help table: one help text per command, in the order the usage
// screen and the Markdown export list them. Aliases and `generate` have none.
#include <string>
#include <string_view>

#include "settings/help_table.h"

namespace dorvan {

// Built and formatted on first use, then never changed.
const HelpTable& commandHelpTable();

// The help text of a command; empty when there is none. Exact, case-sensitive
// key: callers lower-case the verb first.
std::string commandHelp(std::string_view name);

// The text up to, not including, the first "\r" or "\n".
std::string firstLine(std::string_view text);

}  // namespace dorvan
