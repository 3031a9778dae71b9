#pragma once
// Console output and line input. Output to stdout is one ordered stream:
// everything the program prints, listings included, goes through consoleWrite.
#include <string>
#include <string_view>

namespace dorvan::platform {

void consoleWrite(std::string_view text);       // stdout, flushed
void consoleWriteError(std::string_view text);  // stderr, flushed
bool stdoutIsTerminal();
void setConsoleTitle(const std::string& title);  // only on a terminal

// Reads one line from standard input without its LF or CR LF.
// Returns false at end of input, or once wakeConsoleReader() was called.
bool readConsoleLine(std::string& line);
void wakeConsoleReader();  // async-signal-safe
// Waits until standard input has bytes (or its end) to read; false once
// wakeConsoleReader() was called. For readers that take the bytes themselves.
bool waitForConsoleInput();

}  // namespace dorvan::platform
