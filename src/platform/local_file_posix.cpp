#include "platform/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"

namespace dorvan::platform {
namespace {

constexpr size_t usualNameLimit = 255;

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The longest name the destination's file system takes.
size_t nameLimitBeside(const std::string& destination) {
    std::string folder = folderOf(destination);
    long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : usualNameLimit;
}

std::string temporaryNameBeside(const std::string& destination, size_t nameLimit) {
    std::string folder = folderOf(destination);
    return folder + partFileName(destination.substr(folder.size()), uniquePartSuffix(), nameLimit);
}

}  // namespace

bool localTextUsesCrLf() { return false; }

bool FileReader::open(const std::string& path, std::string* error) {
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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

bool ReplacingFileWriter::open(const std::string& destination, std::string* error) {
    destination_ = destination;
    // The file system is asked for its name limit only when a name proves too long.
    size_t nameLimit = usualNameLimit;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryNameBeside(destination, nameLimit);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int failure = errno;
            temporary_.clear();
            if (failure == ENAMETOOLONG && nameLimit == usualNameLimit) {
                nameLimit = nameLimitBeside(destination);
                if (nameLimit < usualNameLimit) continue;
            }
            errno = failure;
            if (failure != EEXIST) break;
        }
    }
    if (fd_ < 0) return fail("cannot create a file beside", destination, error);
    struct stat existing;
    if (::stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd_, existing.st_mode & 07777);
    return true;
}

}  // namespace dorvan::platform
