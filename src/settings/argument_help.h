#pragma once
// The argument help table: one help text per argument, in the order the
// usage screen and the Markdown export list them.
#include <optional>
#include <string>
#include <string_view>

#include "settings/help_table.h"

namespace dorvan {

// Built and formatted on first use, then never changed.
const HelpTable& argumentHelpTable();

// The help text of an argument (name without "--"); exact, case-sensitive.
std::optional<std::string> argumentHelp(std::string_view name);

}  // namespace dorvan
