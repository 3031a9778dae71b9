#include "platform/file_facts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/clock.h"

namespace dorvan::platform {
namespace {

int64_t ticksOf(const struct statx_timestamp& t) {
    return unixEpochTicks + static_cast<int64_t>(t.tv_sec) * ticksPerSecond + t.tv_nsec / 100;
}

}  // namespace

bool fileFacts(const std::string& path, FileFacts& facts, std::string* error) {
    struct statx st;
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    facts.size = st.stx_size;
    facts.modified = ticksOf(st.stx_mtime);
    facts.accessed = ticksOf(st.stx_atime);
    facts.created = (st.stx_mask & STATX_BTIME) ? ticksOf(st.stx_btime) : unknownFileTime;
    return true;
}

bool setModifiedTime(const std::string& path, int64_t ticks, std::string* error) {
    const int64_t sinceEpoch = ticks - unixEpochTicks;
    int64_t seconds = sinceEpoch / ticksPerSecond;
    int64_t rest = sinceEpoch % ticksPerSecond;
    if (rest < 0) {
        --seconds;
        rest += ticksPerSecond;
    }
    const struct timespec times[2] = {{.tv_sec = 0, .tv_nsec = UTIME_OMIT},
                                      {.tv_sec = static_cast<time_t>(seconds), .tv_nsec = rest * 100}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0) return true;
    *error = path + ": " + std::strerror(errno);
    return false;
}

}  // namespace dorvan::platform
