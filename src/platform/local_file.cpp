#include "platform/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace dorvan::platform {
namespace {

// A name no other writer uses: process id, a counter and the clock.
std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
    char text[64];
    std::snprintf(text, sizeof text, "%x-%x-%llx", static_cast<unsigned>(::getpid()), counter++,
                  static_cast<unsigned long long>(clock) & 0xffffffffffULL);
    return text;
}

std::string temporaryNameBeside(const std::string& destination) {
    size_t slash = destination.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? destination : destination.substr(slash + 1);
    return folder + "." + name + "." + uniqueSuffix() + ".part";
}

}  // namespace

std::FILE* openPrivateFile(const std::string& path, bool append) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) return nullptr;
    ::fchmod(fd, 0600);
    std::FILE* file = ::fdopen(fd, append ? "ab" : "wb");
    if (!file) {
        int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}

FileReader::~FileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileReader::open(const std::string& path) {
    path_ = path;
    // Non-blocking, so that opening a FIFO cannot hang; only a plain file is kept.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    std::string reason;
    struct stat st;
    if (fd_ < 0) {
        reason = std::strerror(errno);
    } else if (::fstat(fd_, &st) != 0) {
        reason = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        reason = std::strerror(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    error_ = "cannot open " + path + ": " + reason;
    return false;
}

long FileReader::read(char* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) {
            error_ = "cannot read " + path_ + ": " + std::strerror(errno);
            return -1;
        }
    }
}

ReplacingFileWriter::~ReplacingFileWriter() { discard(); }

bool ReplacingFileWriter::fail(const std::string& what, const std::string& path) {
    error_ = what + " " + path + ": " + std::strerror(errno);
    discard();
    return false;
}

void ReplacingFileWriter::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

bool ReplacingFileWriter::open(const std::string& destination) {
    destination_ = destination;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryNameBeside(destination);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            temporary_.clear();
            if (errno != EEXIST) break;
        }
    }
    if (fd_ < 0) return fail("cannot create a file beside", destination);
    struct stat existing;
    if (::stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd_, existing.st_mode & 07777);
    return true;
}

bool ReplacingFileWriter::write(std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("cannot write", temporary_);
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ReplacingFileWriter::commit() {
    if (fd_ < 0) return false;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail("cannot write", temporary_);
    if (::rename(temporary_.c_str(), destination_.c_str()) != 0) return fail("cannot replace", destination_);
    temporary_.clear();
    return true;
}

}  // namespace dorvan::platform
