#include "platform/buffered_move.h"

// Windows moves the bytes through one buffer: a plain read and send loop.
namespace dorvan::platform {

DataPipe::~DataPipe() = default;

bool DataPipe::ready() { return false; }

void DataPipe::drop() {}

FileMove sendFile(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved) {
    return sendThroughBuffer(socketFd, file, limit, moved);
}

FileMove receiveToFile(int socketFd, ReplacingFileWriter& file, DataPipe&, const WaitLimit& limit, uint64_t most,
                       const MovedBytes& moved) {
    return receiveThroughBuffer(socketFd, file, limit, most, moved);
}

}  // namespace dorvan::platform
