#pragma once
// Console output and line input. Output to stdout is one ordered stream:
// everything the program prints, listings included, goes through consoleWrite.
#include <string>
#include <string_view>

namespace dorvan::platform {

// On a terminal, control characters are shown as '?' (text/terminal_safe.h), so
// that text from a server cannot drive the terminal; piped output keeps every byte.
// A terminal gets each write at once. Piped output is held back and written
// in large pieces: by consoleFlush, and before writing to stderr, before
// waiting for input and during network waits, once it is 100 ms old (sockets.h).
void consoleWrite(std::string_view text);       // stdout
void consoleWriteLine(std::string_view text);   // stdout, `text` and lineEnd()
void consoleWriteError(std::string_view text);  // stderr, at once; made safe like stdout on a terminal
void consoleFlush();
// For network waits: writes held-back piped output once it is `ageMs` old,
// and returns the milliseconds until what is still held is due (-1: nothing held).
int consoleFlushAged(int ageMs);
// As consoleFlush, but gives up at once when another thread is writing (it
// may be stuck on a full pipe): for ending the process in a hurry.
void consoleFlushUnlessBusy();
bool stdoutIsTerminal();
// What ends each line the program writes to the console, the log and the
// Markdown export: LF on POSIX systems, CR LF on Windows.
std::string_view lineEnd();
void setConsoleTitle(const std::string& title);  // POSIX: only on a terminal
// Gives the console window a 4:3 outer shape by enlarging one side, never
// shrinking; nothing where there is no console window (POSIX).
void shapeConsoleWindow();

// The status line: one line below everything printed, drawn in place (only
// when stdout is a terminal; otherwise nothing happens). Every console write
// takes it away first and, after a complete line, draws it again below. The
// text is cut to the terminal's width in columns (text/display_width.h); an empty
// text removes the line.
// Safe from any thread.
void consoleStatus(std::string_view text);
size_t consoleColumns();  // the terminal's width in columns, 80 when unknown

enum class LineRead {
    line,      // `line` holds the next line
    overlong,  // the next line was longer than the cap and is dropped whole
    ended,     // end of input, or wakeConsoleReader() was called
};

// Reads one line from standard input without its LF or CR LF; the last line
// may lack its LF.
LineRead readConsoleLine(std::string& line, size_t cap);
// Creates what wakeConsoleReader() uses; call before any other thread may call it.
void prepareConsoleWake();
void wakeConsoleReader();  // async-signal-safe
// Waits until standard input has bytes (or its end) to read; false once
// wakeConsoleReader() was called. For readers that take the bytes themselves.
bool waitForConsoleInput();

}  // namespace dorvan::platform
