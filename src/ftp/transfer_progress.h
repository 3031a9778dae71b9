#pragma once
// What a session tells about a transfer's data while it moves. A session
// calls it on the thread running the transfer, with the session's lock held;
// one observer may serve several sessions on several threads at once, so an
// implementation must be thread-safe and must never call back into a session.
#include <cstdint>

namespace dorvan {

class TransferProgress {
public:
    virtual ~TransferProgress() = default;
    // The data connection is open (again at each try of a transfer). `expected`
    // is the size the transfer is held to (the caller's, else the one the
    // server announced in its 1xx reply), unknownSize when neither is known.
    virtual void dataStarted(uint64_t expected) = 0;
    // `bytes` more crossed the data connection. Runs once per chunk (up to a
    // few MiB): keep it to a few atomic operations.
    virtual void dataMoved(uint64_t bytes) = 0;
};

}  // namespace dorvan
