#pragma once

namespace dorvan {

// The program's entry: start-up, the command file or prompt, clean-up. Always 0.
int programMain(int argc, char** argv);
// The shutdown routine: closes the session, writes the shortcut files.
void cleanUp();

}  // namespace dorvan
