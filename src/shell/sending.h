#pragma once
// Runs the process's command file and/or the interactive prompt.
#include <mutex>
#include <string>

#include "shell/command_file.h"
#include "shell/tokenizer.h"

namespace dorvan {

class Sending {
public:
    explicit Sending(ArgumentList processArgs) : args_(std::move(processArgs)) {}
    virtual ~Sending() = default;

    virtual void run();
    virtual CommandList parstAt(const std::string& token);
    void keepWindow();
    void execute(CommandList& list);

private:
    CommandList readCommandFile(const std::string& token, const ArgumentList& args);

    const ArgumentList args_;
};

// Held by the main thread while a command runs, so that the console control
// handler's clean-up never runs in the middle of one. Taken after the shutdown
// lock and before any other (the lock order is written in program.cpp).
std::recursive_timed_mutex& commandLock();
// After a console control event: no further command starts.
void interruptCommands();

}  // namespace dorvan
