#pragma once
// The system calls under console.cpp and console_input.cpp, defined once per
// OS (console_posix.cpp, console_win.cpp); stdoutIsTerminal(),
// consoleColumns(), shapeConsoleWindow(), prepareConsoleWake() and
// wakeConsoleReader() of console.h are the others.
#include <cstddef>
#include <string>
#include <string_view>

namespace dorvan::platform::os {

enum class ConsoleStream { output, error };
// Writes all of `text`; a closed stream is left quietly (it must not end the program).
void writeConsole(ConsoleStream stream, std::string_view text);
bool stderrIsTerminal();
// What takes a status line `columns` wide off the screen, leaving the cursor
// at the start of its line.
std::string statusErasure(size_t columns);
// Shows `title` as the terminal's or the console window's title; the caller
// holds the output lock.
void showTitle(const std::string& title);

// Standard input, read by one thread at a time.
void startInput();     // before the first wait
bool wakeRequested();  // wakeConsoleReader() was called
enum class InputWait {
    bytes,  // bytes were appended
    ended,  // standard input has ended (or cannot be read)
    woken,  // wakeConsoleReader() was called
};
// Waits until standard input has bytes, its end or a wake, and appends the bytes to `bytes`.
InputWait awaitInput(std::string& bytes);
// As awaitInput, but leaves the bytes to be read: false on a wake.
bool awaitInputReady();

}  // namespace dorvan::platform::os
