#pragma once
// The interactive prompt's line editor (libedit): emacs-style editing keys,
// history with incremental search, kept in a file across runs, and Tab
// completion. Used only when standard input and output are both terminals.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct editline EditLine;
typedef struct history History;

namespace dorvan::platform {

// What Tab does to the line: nothing (a beep), show `choices`, or put `insert`
// in place of the bytes from `replaceFrom` up to the cursor.
struct TabAction {
    enum class Kind { beep, list, replace } kind = Kind::beep;
    std::vector<std::string> choices{};
    size_t replaceFrom = 0;
    std::string insert{};
};

struct LineEditorSetup {
    std::string prompt;
    std::string historyPath;  // empty: history for this run only
    size_t historyCap = 1000;
    std::function<TabAction(std::string_view beforeCursor)> complete;
    // False for lines that must stay out of the history file (they are still
    // recalled during this run).
    std::function<bool(const std::string& line)> keepInHistoryFile;
};

class LineEditor {
public:
    // Null when standard input or standard output is not a terminal.
    static std::unique_ptr<LineEditor> open(LineEditorSetup setup);
    ~LineEditor();
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;

    // Shows the prompt and reads one edited line without its line end. False at
    // end of input (Ctrl+D on an empty line) or once wakeConsoleReader() was called.
    bool readLine(std::string& line);

private:
    struct State;
    explicit LineEditor(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Asks for a secret on a terminal: writes `prompt`, reads one line with the
// terminal's echo off, then ends the line on the screen. False, asking
// nothing, when standard input is not a terminal (and where the console
// cannot hide input); false too at end of input or once wakeConsoleReader()
// was called.
bool readSecretLine(std::string_view prompt, std::string& line);

// Puts the terminal back as it was before the first editor opened, for a
// process that ends while a line is being edited. Does nothing otherwise.
void restoreTerminal();

}  // namespace dorvan::platform
