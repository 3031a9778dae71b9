#pragma once

namespace dorvan {

// The program's entry: start-up, the command file or prompt, clean-up; then
// ends the process (static destructors do not run) with status 0 unless the
// errorlevel argument asks for more.
[[noreturn]] int programMain(int argc, char** argv);
// The shutdown routine: closes the session, writes the shortcut files.
void cleanUp();

}  // namespace dorvan
