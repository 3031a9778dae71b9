#include "platform/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/file_io_os.h"

namespace dorvan::platform {

bool localTextUsesCrLf() { return false; }

bool FileReader::open(const std::string& path, std::string* error) {
    path_ = path;
    fd_ = os::openInput(path);
    struct stat st;
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        errno = EISDIR;
    }
    if (fd_ < 0) *error = path + ": " + std::strerror(errno);
    return fd_ >= 0;
}

bool FileReader::openPlainFile(const std::string& path, std::string* error) {
    path_ = path;
    // Non-blocking, so that opening a FIFO cannot hang.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    std::string reason;
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        reason = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        reason = std::strerror(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else {
        return true;  // O_NONBLOCK changes nothing for a regular file
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    *error = path + ": " + reason;
    return false;
}

namespace {

struct stat factsOf(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    return st;
}

}  // namespace

bool FileReader::isRegular() const { return S_ISREG(factsOf(fd_).st_mode); }

uint64_t FileReader::size() const { return static_cast<uint64_t>(factsOf(fd_).st_size); }

int64_t FileReader::modifiedUnixSeconds() const { return static_cast<int64_t>(factsOf(fd_).st_mtime); }

bool FileReader::isSameFileAs(const std::string& path) const {
    struct stat other;
    if (::stat(path.c_str(), &other) != 0) return false;
    struct stat own = factsOf(fd_);
    return own.st_dev == other.st_dev && own.st_ino == other.st_ino;
}

}  // namespace dorvan::platform
