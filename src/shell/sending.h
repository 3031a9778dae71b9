#pragma once
// Runs the process's command file and/or the interactive prompt.
#include <mutex>
#include <optional>
#include <string>

#include "shell/command_file.h"
#include "shell/tokenizer.h"

namespace dorvan {

struct Verb;

// The process command line: nothing (the prompt); "@file" and argument
// pairs (the file, then the prompt); argument pairs and an optional "@file"
// (the same); a command and its arguments (that command once, no prompt).
class Sending {
public:
    explicit Sending(ArgumentList processArgs) : args_(std::move(processArgs)) {}
    virtual ~Sending() = default;

    virtual void run();
    virtual CommandList parstAt(const std::string& token);
    void keepWindow();
    void execute(CommandList& list);

private:
    void runCommandFileFirst();
    void runArgumentsFirst();
    void runOneCommand(ArgumentList line, const Verb& verb);
    CommandList readCommandFile(const std::string& token, const ArgumentList& args);
    bool runCommandFile(const std::string& token, const ArgumentList& args);

    const ArgumentList args_;
};

// Held by the main thread while a command runs, so that the console control
// handler's clean-up never runs in the middle of one. Taken after the shutdown
// lock and before any other (the lock order is written in program.cpp).
std::recursive_timed_mutex& commandLock();
// After a console control event: no further command starts.
void interruptCommands();

// The exit status the process command line decided on, when it did: 64 when
// it was not understood; for a command given on it, 1 from its start and 0
// once it succeeded. Read by any thread.
std::optional<int> commandLineStatus();

}  // namespace dorvan
