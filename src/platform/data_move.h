#pragma once
// A data connection's bytes to and from local files, moved inside the kernel
// where it allows (sendfile, splice through a pipe) and otherwise through one
// buffer; uploads to a peer on the same machine or right beside it go through
// a copying loop (data_move_posix.cpp says why). Waits as in sockets.h: each
// wait ends after WaitLimit::timeoutMs without progress, or at once on abort.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/local_file.h"
#include "platform/sockets.h"

namespace dorvan::platform {

struct FileMove {
    IoOutcome net;  // the connection's side; ok when the move ended normally
    uint64_t bytes = 0;
    bool overrun = false;  // more bytes came than the receiver takes: it stopped there
    bool localFailed = false;
    // "<path>: <reason>" when reading failed; "cannot write <temporary>: <reason>"
    // when writing failed (the writer then has discarded its file).
    std::string localError;
};

// Told each piece's byte count as soon as it crossed the connection.
using MovedBytes = std::function<void(uint64_t bytes)>;

// The pipe that one session's downloads are spliced through, made at the
// first download and kept for the next ones, so that a batch of small files
// does not pay for a new pipe per file. Unused where nothing is spliced
// (Windows). One thread at a time, as its session.
class DataPipe {
public:
    DataPipe() = default;
    ~DataPipe();
    DataPipe(const DataPipe&) = delete;
    DataPipe& operator=(const DataPipe&) = delete;

    bool ready();  // makes the pipe when there is none; false when the system gives none
    void drop();   // after a move that may have left bytes in it
    size_t capacity() const { return capacity_; }
    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }

private:
    int fds_[2] = {-1, -1};
    size_t capacity_ = 0;
};

// Sends the rest of `file` to the connection.
FileMove sendFile(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved = {});
// Writes all the connection delivers, until the peer closes it, into `file`;
// stops as soon as more than `most` bytes came (overrun).
FileMove receiveToFile(int socketFd, ReplacingFileWriter& file, DataPipe& pipe, const WaitLimit& limit, uint64_t most,
                       const MovedBytes& moved = {});

// How much of `wanted` one read may take so that the bytes stay within `most`
// plus the one that tells an overrun.
size_t pieceWithin(size_t wanted, uint64_t received, uint64_t most);

}  // namespace dorvan::platform
