#pragma once
// The manual page (roff, man(7) macros), built from the same help tables as
// the usage screen and the Markdown export, so the three never disagree.
#include <string>

namespace dorvan {

std::string manualPage();

}  // namespace dorvan
