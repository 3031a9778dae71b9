#pragma once
// The built program on a pseudo-terminal, as a user at a terminal runs it:
// keys typed in, the screen's byte stream read back.
#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace dorvan::test {

struct TerminalOptions {
    std::vector<std::string> args{};  // without the program name
    std::vector<std::string> env{};   // "NAME=value", added to the test's environment
    std::string workDir{};
    std::string binary = DORVAN_BINARY;
};

class TerminalSession {
public:
    explicit TerminalSession(const TerminalOptions& options);
    ~TerminalSession();  // kills a program still running, by its PID
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    void type(const std::string& keys);
    // True once `text` appears in the output after offset `from`.
    bool waitFor(const std::string& text, size_t from = 0,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // True once the program reads keys one by one (its line editor is active);
    // keys typed before that meet the terminal's own line editing.
    bool waitForKeyByKeyInput(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The exit status once the program ended, -1 when it did not in time.
    int wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    void signal(int number);

    const std::string& output() const { return output_; }
    size_t mark() const { return output_.size(); }

private:
    bool pump(std::chrono::milliseconds step);

    pid_t pid_ = -1;
    int master_ = -1;
    int status_ = -1;
    std::string output_;
};

}  // namespace dorvan::test
