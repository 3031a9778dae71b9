#pragma once
// Splits the bytes of a control connection into replies (RFC 959): a single
// line "nnn text", or "nnn-text" followed by any lines up to one that begins
// with the same code and a blank. Lines end with CR LF or a bare LF. Fed any
// pieces of the stream; never reads past the end of one line per call, so the
// caller can trace each line and keep what follows for the next reply.
#include <cstddef>
#include <string>
#include <string_view>

namespace dorvan {

class ReplyParser {
public:
    static constexpr size_t lineCap = 64 * 1024;     // one line, line end included
    static constexpr size_t replyCap = 1024 * 1024;  // all lines of one reply

    enum class State {
        partial,    // inside a line
        lineEnded,  // a line of a multi-line reply ended; more follow
        complete,   // the reply's last line ended
        malformed,  // the first line does not begin with a reply code
        tooLong,    // past lineCap or replyCap
    };

    // Consumes bytes up to the end of at most one line and returns how many;
    // nothing once the reply is complete or broken (reset() starts the next).
    size_t feed(std::string_view data);
    void reset();

    State state() const { return state_; }
    bool finished() const { return state_ == State::complete || failed(); }
    bool failed() const { return state_ == State::malformed || state_ == State::tooLong; }
    // The line read last, with its line end (for traces), and without it.
    const std::string& rawLine() const { return line_; }
    std::string_view line() const;
    // The three-digit code; empty until the first line has ended.
    std::string_view code() const { return std::string_view(code_, codeLength_); }

private:
    void endLine();

    State state_ = State::partial;
    std::string line_;
    bool lineDone_ = false;  // line_ holds a whole line, to be dropped at the next feed
    size_t total_ = 0;
    char code_[3] = {};
    size_t codeLength_ = 0;
};

}  // namespace dorvan
