#include "platform/buffered_move.h"
#include "platform/data_move.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace dorvan::platform {
namespace {

// A peer closer than this round trip (this machine, another namespace or
// container on it, the next machine on a fast network) gets an upload through
// a copying loop into a bounded send buffer: the receiving side, which pays
// for the segments that sendfile() builds from the page cache, then reads
// bytes still in the caches, and every peer client measured that way was
// faster than sendfile() (bench/README.md). Linux doubles the buffer asked
// for: 256 KiB in flight still fill 10 Gbit/s at 200 us. Farther peers get
// sendfile() and the kernel's own buffer sizing.
constexpr uint32_t nearRoundTripUs = 200;
constexpr int nearSendBuffer = 128 * 1024;
constexpr size_t nearPiece = 256 * 1024;

bool nearPeer(int socketFd) {
    tcp_info info{};
    socklen_t size = sizeof info;
    return ::getsockopt(socketFd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_rtt > 0 &&
           info.tcpi_rtt < nearRoundTripUs;
}

// Errors that say the kernel cannot splice or sendfile these descriptors,
// not that either side failed.
bool unsupported(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// Moves `size` bytes waiting in the pipe into the file. A file that takes no
// splice gets them through read/write, and *spliceToFile turns false.
bool drainPipe(const DataPipe& pipe, size_t size, ReplacingFileWriter& file, bool* spliceToFile, FileMove& move) {
    while (size > 0 && *spliceToFile) {
        ssize_t n = ::splice(pipe.readEnd(), nullptr, file.descriptor(), nullptr, size, SPLICE_F_MOVE);
        if (n > 0) {
            size -= static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && unsupported(errno)) {
            *spliceToFile = false;
        } else {
            if (n == 0) errno = EIO;
            file.writeFailed(&move.localError);
            move.localFailed = true;
            return false;
        }
    }
    std::vector<char> buffer(size);
    for (size_t got = 0; got < size;) {
        ssize_t n = ::read(pipe.readEnd(), buffer.data() + got, size - got);
        if (n > 0) {
            got += static_cast<size_t>(n);
        } else if (n == 0 || errno != EINTR) {  // the bytes are known to be waiting
            if (n == 0) errno = EIO;
            file.writeFailed(&move.localError);
            move.localFailed = true;
            return false;
        }
    }
    if (size > 0 && !file.write(std::string_view(buffer.data(), size), &move.localError)) {
        move.localFailed = true;
        return false;
    }
    return true;
}

}  // namespace

DataPipe::~DataPipe() { drop(); }

bool DataPipe::ready() {
    if (capacity_ > 0) return true;
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return false;      // fds_ stay -1
    ::fcntl(fds_[1], F_SETPIPE_SZ, static_cast<int>(movePieceBytes));  // a smaller pipe only costs more calls
    int size = ::fcntl(fds_[1], F_GETPIPE_SZ);
    if (size <= 0) {
        drop();
        return false;
    }
    capacity_ = static_cast<size_t>(size);
    return true;
}

void DataPipe::drop() {
    for (int& fd : fds_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    capacity_ = 0;
}

// Both moves try the system call first and wait only when it would block:
// the data of a small file is often there before its turn comes.
FileMove sendFile(int socketFd, FileReader& file, const WaitLimit& limit, const MovedBytes& moved) {
    FileMove move;
    bool pathChosen = false;  // a file that fits in the send buffer at once never asks
    for (;;) {
        ssize_t n = ::sendfile(socketFd, file.descriptor(), nullptr, 1u << 30);
        if (n > 0) {
            move.bytes += static_cast<uint64_t>(n);
            if (moved) moved(static_cast<uint64_t>(n));
        } else if (n == 0) {
            return move;  // end of file
        } else if (errno == EAGAIN) {
            if (!pathChosen && nearPeer(socketFd)) {  // the loop reads on from where sendfile() stopped
                ::setsockopt(socketFd, SOL_SOCKET, SO_SNDBUF, &nearSendBuffer, sizeof nearSendBuffer);
                return sendThroughBuffer(socketFd, file, limit, moved, std::move(move), nearPiece);
            }
            pathChosen = true;
            SocketStatus waited = waitFor(socketFd, POLLOUT, limit);
            if (waited != SocketStatus::ok) {
                move.net = {waited, move.bytes};
                return move;
            }
        } else if (errno != EINTR) {
            // Either side may have failed, or the file takes no sendfile: the
            // plain loop from the same position tells which.
            break;
        }
    }
    return sendThroughBuffer(socketFd, file, limit, moved, std::move(move));
}

FileMove receiveToFile(int socketFd, ReplacingFileWriter& file, DataPipe& pipe, const WaitLimit& limit, uint64_t most,
                       const MovedBytes& moved) {
    FileMove move;
    bool splicing = pipe.ready();
    bool spliceToFile = true;
    while (splicing) {
        if (move.bytes > most) {
            move.overrun = true;
            return move;
        }
        ssize_t n = ::splice(socketFd, nullptr, pipe.writeEnd(), nullptr,
                             pieceWithin(pipe.capacity(), move.bytes, most), SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (n == 0) return move;  // the peer closed: the end of the data
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {  // the pipe is empty here, so the socket has nothing yet
                SocketStatus waited = waitFor(socketFd, POLLIN, limit);
                if (waited != SocketStatus::ok) {
                    move.net = {waited, move.bytes};
                    return move;
                }
                continue;
            }
            if (unsupported(errno)) {
                splicing = false;  // nothing is in the pipe
                continue;
            }
            move.net = {SocketStatus::failed, move.bytes, errno};
            return move;
        }
        if (!drainPipe(pipe, static_cast<size_t>(n), file, &spliceToFile, move)) {
            pipe.drop();  // bytes may be left in it
            return move;
        }
        move.bytes += static_cast<uint64_t>(n);
        if (moved) moved(static_cast<uint64_t>(n));
        if (!spliceToFile) splicing = false;
    }
    return receiveThroughBuffer(socketFd, file, limit, most, moved, std::move(move));
}

}  // namespace dorvan::platform
