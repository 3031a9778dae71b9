#pragma once
// Running the built dorvan binary (or any program) as a child process with
// its standard streams captured separately.
#include <sys/types.h>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/files.h"

namespace dorvan::test {

struct RunOptions {
    std::vector<std::string> args{};  // without the program name
    std::string input{};              // standard input; runDorvan closes it afterwards
    std::vector<std::string> env{};   // "NAME=value" entries, added or replacing
    std::string dataHome{};           // XDG_DATA_HOME; a fresh temporary folder when empty
    std::string pathFirst{};          // a folder put first on PATH, when not empty
    std::string workDir{};            // working folder; the test's own when empty
    std::chrono::milliseconds timeout{30000};
    std::string binary = DORVAN_BINARY;
    std::string launcher = DORVAN_LAUNCHER;  // runs `binary` (the Windows build under wine); empty: run it directly
};

struct RunResult {
    std::string out;
    std::string err;
    int exitStatus = -1;                     // the exit code, or 128 + the signal number that ended it
    int termSignal = 0;                      // the signal that ended it, 0 when it exited
    bool timedOut = false;                   // it was killed when the time limit ran out
    std::string dataHome;                    // the XDG_DATA_HOME it ran with
    std::shared_ptr<TempDir> ownedDataHome;  // keeps a created data folder until the result goes

    std::string log() const { return logText(dataHome); }
};

// Runs to the end (or to options.timeout, then kills it by PID).
RunResult runDorvan(const RunOptions& options);

// A running program: feed it input, signal it, watch its output, wait for it.
// Output is collected while any member function waits; a child that outlives
// the object is killed.
class DorvanProcess {
public:
    DorvanProcess() = default;
    explicit DorvanProcess(const RunOptions& options) { start(options); }
    ~DorvanProcess();
    DorvanProcess(const DorvanProcess&) = delete;
    DorvanProcess& operator=(const DorvanProcess&) = delete;

    // Starts the program (once per object); options.input is its first input, standard input stays open.
    void start(const RunOptions& options);
    void writeInput(const std::string& text);  // queued; written while waiting
    void closeInput();                         // after the queued input
    void sendSignal(int signal);               // only while it has not been reaped
    // True once `text` appears in standard output or standard error within `timeout`.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    // Waits for the end; on timeout kills it (SIGKILL by PID) and sets timedOut.
    // Does not close standard input: call closeInput() first when it should see end of file.
    RunResult wait(std::chrono::milliseconds timeout);

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && !reaped_; }
    const std::string& out() const { return result_.out; }  // collected so far
    const std::string& err() const { return result_.err; }

private:
    using Clock = std::chrono::steady_clock;
    template <class Done>
    bool pump(Clock::time_point deadline, Done done);
    void reap(int options);
    void closeAll();

    RunResult result_;
    pid_t pid_ = -1;
    bool reaped_ = false;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string pendingInput_;
    bool closeInputWhenWritten_ = false;
};

}  // namespace dorvan::test
