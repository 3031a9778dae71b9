#pragma once
// A data connection's bytes to and from local files, moved inside the kernel
// where it allows (sendfile, splice through a pipe) and otherwise through one
// 1 MiB buffer, never copied on the way. Waits as in sockets.h: each wait ends
// after WaitLimit::timeoutMs without progress, or at once on abort.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/local_file.h"
#include "platform/sockets.h"

namespace dorvan::platform {

struct FileMove {
    IoOutcome net;  // the connection's side; ok when the move ended normally
    uint64_t bytes = 0;
    bool localFailed = false;
    // "<path>: <reason>" when reading failed; "cannot write <temporary>: <reason>"
    // when writing failed (the writer then has discarded its file).
    std::string localError;
};

// Told each piece's byte count as soon as it crossed the connection.
using MovedBytes = std::function<void(uint64_t bytes)>;

// Sends the rest of `file` to the connection.
FileMove sendFile(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved = {});
// Writes all the connection delivers, until the peer closes it, into `file`.
FileMove receiveToFile(int socketFd, ReplacingFileWriter& file, const WaitLimit& limit, const MovedBytes& moved = {});

}  // namespace dorvan::platform
