#include "support/run_dorvan.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "support/child_process.h"

namespace dorvan::test {
namespace {

constexpr auto kReapStep = std::chrono::milliseconds(20);
constexpr auto kDrainAfterEnd = std::chrono::seconds(2);

// Sets NAME=value in `entries`, replacing an earlier entry of that name.
void setEntry(std::vector<std::string>& entries, const std::string& entry) {
    std::string prefix = entry.substr(0, entry.find('=') + 1);
    std::erase_if(entries, [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
    entries.push_back(entry);
}

std::string valueOf(const std::vector<std::string>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.rfind(name + "=", 0) == 0) return e.substr(name.size() + 1);
    const char* inherited = std::getenv(name.c_str());
    return inherited ? inherited : "";
}

}  // namespace

RunResult runDorvan(const RunOptions& options) {
    DorvanProcess process(options);
    process.closeInput();
    return process.wait(options.timeout);
}

DorvanProcess::~DorvanProcess() {
    if (running()) endChild(pid_, SIGKILL, 0);
    closeAll();
}

void DorvanProcess::start(const RunOptions& options) {
    if (pid_ > 0) throw std::logic_error("DorvanProcess::start called twice");
    result_ = RunResult{};
    reaped_ = false;
    pendingInput_ = options.input;
    closeInputWhenWritten_ = false;

    result_.dataHome = options.dataHome;
    if (result_.dataHome.empty()) {
        result_.ownedDataHome = std::make_shared<TempDir>("dorvan-data-");
        result_.dataHome = result_.ownedDataHome->path();
    }
    std::vector<std::string> overrides = {"XDG_DATA_HOME=" + result_.dataHome};
    for (const auto& e : options.env) setEntry(overrides, e);
    if (!options.pathFirst.empty()) setEntry(overrides, "PATH=" + options.pathFirst + ":" + valueOf(overrides, "PATH"));

    Pipe input, output, error;
    std::vector<std::string> argv = {options.binary};
    if (!options.launcher.empty()) argv.insert(argv.begin(), options.launcher);
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    pid_ =
        spawnChild(argv, environmentWith(overrides), {input.readEnd, output.writeEnd, error.writeEnd}, options.workDir);
    in_ = input.takeWrite();
    out_ = output.takeRead();
    err_ = error.takeRead();
    fcntl(in_, F_SETFL, fcntl(in_, F_GETFL) | O_NONBLOCK);
}

void DorvanProcess::writeInput(const std::string& text) {
    pendingInput_ += text;
    pump(Clock::now(), [] { return false; });
}

void DorvanProcess::closeInput() {
    closeInputWhenWritten_ = true;
    pump(Clock::now(), [] { return false; });
}

void DorvanProcess::sendSignal(int signal) {
    reap(WNOHANG);
    if (running()) kill(pid_, signal);
}

bool DorvanProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    return pump(Clock::now() + timeout, [&] {
        return result_.out.find(text) != std::string::npos || result_.err.find(text) != std::string::npos;
    });
}

RunResult DorvanProcess::wait(std::chrono::milliseconds timeout) {
    if (!pump(Clock::now() + timeout, [&] { return reaped_; })) {
        result_.timedOut = true;
        kill(pid_, SIGKILL);
    }
    // A grandchild may hold the output pipes open: collect what comes quickly, then stop.
    pump(Clock::now() + kDrainAfterEnd, [&] { return reaped_ && out_ < 0 && err_ < 0; });
    if (!reaped_) reap(0);
    closeAll();
    return result_;
}

void DorvanProcess::reap(int options) {
    if (pid_ <= 0 || reaped_) return;
    int status = 0;
    if (waitpid(pid_, &status, options) != pid_) return;
    reaped_ = true;
    if (WIFSIGNALED(status)) {
        result_.termSignal = WTERMSIG(status);
        result_.exitStatus = 128 + result_.termSignal;
    } else {
        result_.exitStatus = WEXITSTATUS(status);
    }
}

void DorvanProcess::closeAll() {
    closeFd(in_);
    closeFd(out_);
    closeFd(err_);
}

// Moves queued input to the child and its output to result_ until done()
// holds or the deadline passes (at least one non-blocking round either way).
template <class Done>
bool DorvanProcess::pump(Clock::time_point deadline, Done done) {
    for (;;) {
        reap(WNOHANG);
        if (in_ >= 0 && pendingInput_.empty() && closeInputWhenWritten_) closeFd(in_);
        if (done()) return true;

        pollfd fds[3];
        nfds_t count = 0;
        if (in_ >= 0 && !pendingInput_.empty()) fds[count++] = {in_, POLLOUT, 0};
        if (out_ >= 0) fds[count++] = {out_, POLLIN, 0};
        if (err_ >= 0) fds[count++] = {err_, POLLIN, 0};

        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        auto wait = std::clamp(left, std::chrono::milliseconds(0), std::chrono::milliseconds(kReapStep));
        if (poll(fds, count, static_cast<int>(wait.count())) < 0 && errno != EINTR) return done();

        for (nfds_t i = 0; i < count; ++i) {
            if (!fds[i].revents) continue;
            int fd = fds[i].fd;
            if (fd == in_) {
                ssize_t n = write(in_, pendingInput_.data(), pendingInput_.size());
                if (n > 0)
                    pendingInput_.erase(0, static_cast<size_t>(n));
                else if (n < 0 && errno != EAGAIN && errno != EINTR) {  // the child stopped reading
                    pendingInput_.clear();
                    closeFd(in_);
                }
                continue;
            }
            char buf[65536];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                (fd == out_ ? result_.out : result_.err).append(buf, static_cast<size_t>(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                closeFd(fd == out_ ? out_ : err_);
        }
        if (Clock::now() >= deadline) return done();
    }
}

}  // namespace dorvan::test
