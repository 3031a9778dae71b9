#include "platform/secret_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace dorvan::platform {
namespace {

constexpr off_t largestSecretFile = 1 << 20;

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0]) return home;
    const struct passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

}  // namespace

std::string netrcPath() {
    const char* named = std::getenv("NETRC");
    if (named && named[0]) return named;
    return homeFolder() + "/.netrc";
}

bool readSecretFile(const std::string& path, std::string& content, SecretFileAccess& access, std::string* error) {
    content.clear();
    // Non-blocking: a FIFO in its place must not hang the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) *error = std::strerror(errno);
    if (ok && !S_ISREG(st.st_mode)) *error = "not a regular file", ok = false;
    if (ok && st.st_size > largestSecretFile) *error = "larger than 1 MiB", ok = false;
    if (ok) {
        access.ownedByAnotherUser = st.st_uid != geteuid();
        access.othersMayReadOrChange = (st.st_mode & 066) != 0;
        access.mode = st.st_mode & 07777;
        content.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (ok && got < content.size()) {
            ssize_t n = ::read(fd, content.data() + got, content.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) *error = std::strerror(errno), ok = false;
            if (n == 0) break;
            if (n > 0) got += static_cast<size_t>(n);
        }
        content.resize(got);
    }
    ::close(fd);
    return ok;
}

}  // namespace dorvan::platform
