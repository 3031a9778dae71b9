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

FileMove receiveThroughBuffer(int socketFd, ReplacingFileWriter& file, const WaitLimit& limit, const MovedBytes& moved,
                              FileMove move) {
    std::vector<char> buffer(movePieceBytes);
    for (;;) {
        IoOutcome got = receiveSome(socketFd, buffer.data(), buffer.size(), limit);
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
