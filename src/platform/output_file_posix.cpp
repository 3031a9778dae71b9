#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace dorvan::platform {
namespace {

int openFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::replace: return O_WRONLY | O_CREAT | O_TRUNC;
        case OpenMode::append: return O_WRONLY | O_CREAT | O_APPEND;
        case OpenMode::createNew: return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_WRONLY;
}

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool OutputFile::fail(std::string* error) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
}

bool OutputFile::open(const std::string& path, OpenMode mode, std::string* error, Access access) {
    if (fd_ >= 0) ::close(fd_);
    path_ = path;
    bool ownerOnly = access == Access::ownerOnly;
    fd_ = ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd_ >= 0 && ownerOnly) ::fchmod(fd_, 0600);
    return fd_ >= 0 || fail(error);
}

bool OutputFile::write(std::string_view data, std::string* error) {
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(error);
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool OutputFile::writeAt(uint64_t offset, std::string_view data, std::string* error) {
    while (!data.empty()) {
        ssize_t n = ::pwrite(fd_, data.data(), data.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(error);
        }
        data.remove_prefix(static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool OutputFile::close(std::string* error) {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || fail(error);
}

}  // namespace dorvan::platform
