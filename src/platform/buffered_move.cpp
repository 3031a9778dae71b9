#include "platform/buffered_move.h"

#include <vector>

namespace dorvan::platform {

FileMove sendThroughBuffer(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved,
                           FileMove move, size_t pieceBytes) {
    std::vector<char> buffer(pieceBytes);
    for (;;) {
        long n = file.read(buffer.data(), buffer.size(), &move.localError);
        if (n < 0) {
            move.localFailed = true;
            return move;
        }
        if (n == 0) return move;
        IoOutcome sent = sendAll(socketFd, buffer.data(), static_cast<size_t>(n), limit);
        move.bytes += sent.count;
        if (moved && sent.count > 0) moved(sent.count);
        if (!sent.ok()) {
            move.net = {sent.status, move.bytes, sent.error};
            return move;
        }
    }
}

size_t pieceWithin(size_t wanted, uint64_t received, uint64_t most) {
    if (received > most) return 0;
    const uint64_t room = most - received;
    return room < wanted ? static_cast<size_t>(room) + 1 : wanted;
}

FileMove receiveThroughBuffer(int socketFd, ReplacingFileWriter& file, const WaitLimit& limit, uint64_t most,
                              const MovedBytes& moved, FileMove move) {
    std::vector<char> buffer(movePieceBytes);
    for (;;) {
        if (move.bytes > most) {
            move.overrun = true;
            return move;
        }
        IoOutcome got = receiveSome(socketFd, buffer.data(), pieceWithin(buffer.size(), move.bytes, most), limit);
        if (got.status == SocketStatus::closed) return move;
        if (!got.ok()) {
            move.net = {got.status, move.bytes, got.error};
            return move;
        }
        if (!file.write(std::string_view(buffer.data(), got.count), &move.localError)) {
            move.localFailed = true;
            return move;
        }
        move.bytes += got.count;
        if (moved) moved(got.count);
    }
}

}  // namespace dorvan::platform
