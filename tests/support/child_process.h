#pragma once
// Starting and ending child processes for the end-to-end tests.
#include <sys/types.h>
#include <string>
#include <vector>

namespace dorvan::test {

// A pipe whose two ends are closed on exec, so no child inherits the other
// children's pipes. Throws std::runtime_error when the system refuses.
struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
    Pipe();
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    int takeRead();   // hands the read end over to the caller
    int takeWrite();  // hands the write end over to the caller
};

void closeFd(int& fd);  // closes when open, then sets -1

struct ChildStreams {
    int in = -1;  // -1 leaves the test's own stream
    int out = -1;
    int err = -1;
};

// Starts argv[0] (a path) with `environment` ("NAME=value" entries), the given
// standard streams, default signal dispositions and, when not empty, the
// working folder `workDir`. Throws std::runtime_error when it cannot start.
pid_t spawnChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 ChildStreams streams, const std::string& workDir = {});

// The current environment with `overrides` ("NAME=value") replacing same-named entries.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides);

// Reads from fd until `count` line ends came, for up to `limitMs`; returns the
// text read, which is cut short when the time ran out or the writer closed.
std::string readLines(int fd, int count, int limitMs);

// Waits up to `graceMs` for the child to end after `signal`, then kills it.
// Returns the wait status.
int endChild(pid_t pid, int signal, int graceMs);

// A server program run as a child: its standard input is held open (it ends
// when that closes), its standard error goes to a file.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts argv and returns the first `lines` lines of its standard output,
    // fewer when it did not announce itself in time.
    std::string start(const std::vector<std::string>& argv, const std::string& errPath, int lines);
    void stop();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int input_ = -1;
};

}  // namespace dorvan::test
