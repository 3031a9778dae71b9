#include "platform/file_facts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstring>

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

}  // namespace dorvan::platform
