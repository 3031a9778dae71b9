#pragma once
// Where the interactive loop gets its lines: the line editor on a terminal,
// otherwise the prompt written as is and a plain line read.
#include <memory>
#include <string>

#include "platform/console.h"
#include "platform/line_editor.h"
#include "shell/completion.h"

namespace dorvan {

class PromptReader {
public:
    PromptReader();
    // Shows the prompt and reads one line of at most `cap` bytes.
    platform::LineRead read(std::string& line, size_t cap);

private:
    std::unique_ptr<platform::LineEditor> editor_;
};

// What Tab completes, taken from the verb and argument tables.
CompletionTables completionTables();

// Whether a typed line may be written to the history file: never one that
// carries a password or a PASS or ACCT command (see maskSecrets).
bool keepInHistoryFile(const std::string& line);

}  // namespace dorvan
