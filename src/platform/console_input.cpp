// Standard input as lines, over the waits of console_os.h.
#include <string>

#include "platform/console.h"
#include "platform/console_os.h"

namespace dorvan::platform {
namespace {

// Standard input read so far, touched only by the thread that reads lines:
// bytes before `head` are consumed, and no LF lies in [head, scanned).
// Keeping both offsets makes reading linear however long a line is.
struct PendingInput {
    std::string bytes;
    size_t head = 0;
    size_t scanned = 0;
    bool discarding = false;  // inside a line that grew past the cap
    bool ended = false;
};

PendingInput& pending() {
    static PendingInput input;
    return input;
}

void consume(PendingInput& in, size_t upTo) {
    in.head = in.scanned = upTo;
    if (in.head == in.bytes.size()) {
        in.bytes.clear();
        in.head = in.scanned = 0;
    } else if (in.head >= 65536 && in.head >= in.bytes.size() / 2) {
        in.bytes.erase(0, in.head);
        in.scanned -= in.head;
        in.head = 0;
    }
}

// The line ending at `end` (exclusive), without a CR before the LF.
LineRead takeLine(PendingInput& in, std::string& line, size_t end, size_t cap) {
    size_t length = end - in.head;
    if (length > 0 && in.bytes[end - 1] == '\r') --length;
    if (in.discarding || length > cap) {
        in.discarding = false;
        return LineRead::overlong;
    }
    line.assign(in.bytes, in.head, length);
    return LineRead::line;
}

}  // namespace

LineRead readConsoleLine(std::string& line, size_t cap) {
    os::startInput();
    line.clear();
    PendingInput& in = pending();
    for (;;) {
        if (os::wakeRequested()) return LineRead::ended;
        size_t lf = in.bytes.find('\n', in.scanned);
        if (lf != std::string::npos) {
            LineRead read = takeLine(in, line, lf, cap);
            consume(in, lf + 1);
            return read;
        }
        in.scanned = in.bytes.size();
        if (in.scanned - in.head > cap + 1) {
            // Too long whatever follows: keep nothing more of it.
            in.discarding = true;
            consume(in, in.bytes.size());
        }
        if (in.ended) {
            if (in.bytes.empty() && !in.discarding) return LineRead::ended;
            LineRead read = takeLine(in, line, in.bytes.size(), cap);
            consume(in, in.bytes.size());
            return read;
        }
        consoleFlush();
        switch (os::awaitInput(in.bytes)) {
            case os::InputWait::bytes: break;
            case os::InputWait::ended: in.ended = true; break;
            case os::InputWait::woken: return LineRead::ended;
        }
    }
}

bool waitForConsoleInput() {
    os::startInput();
    consoleFlush();
    return os::awaitInputReady();
}

}  // namespace dorvan::platform
