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

enum class LineRead {
    line,      // `line` holds the next line
    overlong,  // the next line was longer than the cap and is dropped whole
    ended,     // end of input, or wakeConsoleReader() was called
};

// Reads one line from standard input without its LF or CR LF; the last line
// may lack its LF.
LineRead readConsoleLine(std::string& line, size_t cap);
void wakeConsoleReader();  // async-signal-safe

}  // namespace dorvan::platform
