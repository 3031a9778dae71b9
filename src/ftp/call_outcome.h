#pragma once
// How one session operation ended: a kind that says whether trying again can
// help, and the server's final reply (or the session's own account).
#include <string>
#include <string_view>

namespace dorvan {

enum class OutcomeKind {
    ok,
    refusedPermanent,  // a reply that another try would meet again (most 4xx and 5xx)
    refusedTransient,  // 421, 425, 426, 450, 451 or 452: the server may do it a little later
    connectionLost,    // the control or data connection closed, broke or ended short
    timedOut,          // nothing happened within the session's timeout
    localError,        // on this side: a file, a refused certificate, an interrupt
    checksumDiffers,   // the data arrived whole, but its checksum is not the server's
};

struct CallOutcome {
    OutcomeKind kind = OutcomeKind::ok;
    int code = 0;        // the last reply's code; 0 when none came
    std::string text{};  // what lastResponse says
    bool begun = false;  // the server accepted a transfer command (1xx): a STOR had truncated its file

    // Another try may succeed.
    bool transient() const {
        return kind == OutcomeKind::refusedTransient || kind == OutcomeKind::connectionLost ||
               kind == OutcomeKind::timedOut || kind == OutcomeKind::checksumDiffers;
    }
};

// The code at the start of a reply line; 0 when it has none.
int replyCode(std::string_view line);
// The kind of a final reply that is not the one an operation expected.
OutcomeKind refusalKind(int code);

}  // namespace dorvan
