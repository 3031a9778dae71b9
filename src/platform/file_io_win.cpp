#include "platform/file_io_os.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <cerrno>

#include "platform/wide_text_win.h"

#include <windows.h>

namespace dorvan::platform::os {
namespace {

int openFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::replace: return _O_WRONLY | _O_CREAT | _O_TRUNC;
        case OpenMode::append: return _O_WRONLY | _O_CREAT | _O_APPEND;
        case OpenMode::createNew: return _O_WRONLY | _O_CREAT | _O_EXCL;
    }
    return _O_WRONLY;
}

unsigned chunkOf(size_t size) { return size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size); }

}  // namespace

// Windows files have no owner-only mode bits: the per-user folders they go
// into already keep other users out.
int openOutput(const std::string& path, OpenMode mode, Access) {
    return _wopen(widen(path).c_str(), openFlags(mode) | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

int openInput(const std::string& path) { return _wopen(widen(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT); }

long readSome(int fd, char* buffer, size_t size) { return _read(fd, buffer, chunkOf(size)); }

long writeSome(int fd, const char* data, size_t size) { return _write(fd, data, chunkOf(size)); }

long writeSomeAt(int fd, const char* data, size_t size, uint64_t offset) {
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) return -1;
    long n = writeSome(fd, data, size);
    int writeError = errno;
    bool backAtEnd = _lseeki64(fd, 0, SEEK_END) >= 0;
    if (n < 0) errno = writeError;
    return n < 0 || backAtEnd ? n : -1;
}

int seekTo(int fd, uint64_t offset) { return _lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0 ? -1 : 0; }

int closeFile(int fd) { return _close(fd); }

unsigned processId() { return static_cast<unsigned>(_getpid()); }

// 255 UTF-16 units is the limit of the usual file systems; a UTF-8 byte
// never stands for more than one unit.
size_t nameLimitBeside(const std::string&) { return 255; }

void givePermissionsFor(const std::string&, int) {}

// Files of a running writer stay open, which keeps them from being removed.
bool lockForWriting(int) { return true; }

int openOwnFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        errno = EBUSY;
        return -1;
    }
    return _wopen(widen(path).c_str(), _O_RDWR | _O_BINARY | _O_NOINHERIT);
}

int64_t sizeOf(int fd) { return _filelengthi64(fd); }

int truncateTo(int fd, uint64_t size) { return _chsize_s(fd, static_cast<long long>(size)) == 0 ? 0 : -1; }

// Never taken for gone: stale files of a killed run stay on Windows.
bool processMayRun(unsigned) { return true; }

}  // namespace dorvan::platform::os
