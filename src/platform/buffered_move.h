#pragma once
// The plain way of moving a data connection's bytes, through one buffer
// (1 MiB unless told): all there is where the kernel cannot copy, what the
// kernel paths fall back to, carrying on from the move they had made, and
// the way uploads go to a near peer (data_move_posix.cpp).
#include <cstddef>

#include "platform/data_move.h"

namespace dorvan::platform {

constexpr size_t movePieceBytes = 1024 * 1024;

FileMove sendThroughBuffer(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved,
                           FileMove move = {}, size_t pieceBytes = movePieceBytes);
FileMove receiveThroughBuffer(int socketFd, ReplacingFileWriter& file, const WaitLimit& limit, uint64_t most,
                              const MovedBytes& moved, FileMove move = {});

}  // namespace dorvan::platform
