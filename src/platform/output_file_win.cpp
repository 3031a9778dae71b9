#include "platform/output_file.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>

#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

int openFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::replace: return _O_WRONLY | _O_CREAT | _O_TRUNC;
        case OpenMode::append: return _O_WRONLY | _O_CREAT | _O_APPEND;
        case OpenMode::createNew: return _O_WRONLY | _O_CREAT | _O_EXCL;
    }
    return _O_WRONLY;
}

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ >= 0) _close(fd_);
}

bool OutputFile::fail(std::string* error) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
}

// Windows files have no owner-only mode bits: the per-user folders they go
// into already keep other users out.
bool OutputFile::open(const std::string& path, OpenMode mode, std::string* error, Access) {
    if (fd_ >= 0) _close(fd_);
    path_ = path;
    fd_ = _wopen(widen(path).c_str(), openFlags(mode) | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    return fd_ >= 0 || fail(error);
}

bool OutputFile::write(std::string_view data, std::string* error) {
    while (!data.empty()) {
        unsigned chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<unsigned>(data.size());
        int n = _write(fd_, data.data(), chunk);
        if (n < 0) return fail(error);
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool OutputFile::writeAt(uint64_t offset, std::string_view data, std::string* error) {
    long long end = _lseeki64(fd_, 0, SEEK_END);
    if (end < 0 || _lseeki64(fd_, static_cast<long long>(offset), SEEK_SET) < 0) return fail(error);
    bool written = write(data, error);
    if (_lseeki64(fd_, end > static_cast<long long>(offset + data.size()) ? end : static_cast<long long>(offset + data.size()), SEEK_SET) < 0 && written)
        return fail(error);
    return written;
}

bool OutputFile::close(std::string* error) {
    int fd = fd_;
    fd_ = -1;
    return _close(fd) == 0 || fail(error);
}

}  // namespace dorvan::platform
