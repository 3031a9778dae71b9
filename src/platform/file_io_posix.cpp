#include "platform/file_io_os.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace dorvan::platform::os {
namespace {

int openFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::replace: return O_WRONLY | O_CREAT | O_TRUNC;
        case OpenMode::append: return O_WRONLY | O_CREAT | O_APPEND;
        case OpenMode::createNew: return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_WRONLY;
}

long retried(auto call) {
    for (;;) {
        ssize_t n = call();
        if (n >= 0 || errno != EINTR) return static_cast<long>(n);
    }
}

}  // namespace

int openOutput(const std::string& path, OpenMode mode, Access access) {
    bool ownerOnly = access == Access::ownerOnly;
    int fd = ::open(path.c_str(), openFlags(mode) | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd >= 0 && ownerOnly) ::fchmod(fd, 0600);
    return fd;
}

int openInput(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

long readSome(int fd, char* buffer, size_t size) {
    return retried([&] { return ::read(fd, buffer, size); });
}

long writeSome(int fd, const char* data, size_t size) {
    return retried([&] { return ::write(fd, data, size); });
}

long writeSomeAt(int fd, const char* data, size_t size, uint64_t offset) {
    return retried([&] { return ::pwrite(fd, data, size, static_cast<off_t>(offset)); });
}

int seekTo(int fd, uint64_t offset) { return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? -1 : 0; }

int closeFile(int fd) { return ::close(fd); }

unsigned processId() { return static_cast<unsigned>(::getpid()); }

size_t nameLimitBeside(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

namespace {

// The process's umask, read without changing it where /proc tells it.
mode_t currentUmask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found) return static_cast<mode_t>(mask);
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

}  // namespace

void givePermissionsFor(const std::string& path, int fd) {
    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        static const mode_t newFileMode = 0666 & ~currentUmask();  // the program never changes its umask
        ::fchmod(fd, newFileMode);
    }
}

bool lockForWriting(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EINTR) return false;
    }
}

int openOwnFile(const std::string& path) {
    // Non-blocking, so that a FIFO planted under the name cannot hang the open.
    int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    const bool own = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1;
    if (own && lockForWriting(fd) && ::fcntl(fd, F_SETFL, 0) == 0) return fd;
    ::close(fd);
    errno = EBUSY;
    return -1;
}

int64_t sizeOf(int fd) {
    struct stat st;
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int truncateTo(int fd, uint64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)); }

bool processMayRun(unsigned processId) {
    return processId == 0 || ::kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

}  // namespace dorvan::platform::os
