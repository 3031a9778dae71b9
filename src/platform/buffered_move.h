#pragma once
// The plain way of moving a data connection's bytes, through one 1 MiB
// buffer: all there is where the kernel cannot copy, and what the kernel
// paths fall back to, carrying on from the move they had made.
#include "platform/data_move.h"

namespace dorvan::platform {

FileMove sendThroughBuffer(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved,
                           FileMove move = {});
FileMove receiveThroughBuffer(int socketFd, ReplacingFileWriter& file, const WaitLimit& limit, const MovedBytes& moved,
                              FileMove move = {});

}  // namespace dorvan::platform
