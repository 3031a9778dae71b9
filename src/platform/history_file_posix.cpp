#include "platform/history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "platform/paths.h"

namespace dorvan::platform {

const std::deque<std::string>& HistoryFile::load() {
    lines_.clear();
    std::string text, error;
    if (!readWholeFile(path_, text, &error)) return lines_;  // none kept yet
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines_.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    while (lines_.size() > cap_) lines_.pop_front();
    return lines_;
}

bool HistoryFile::append(const std::string& line, std::string* error) {
    lines_.push_back(line);
    while (lines_.size() > cap_) lines_.pop_front();
    std::string text;
    for (const std::string& entry : lines_) text += entry + '\n';

    // Written beside the file under a name of its own (another instance may
    // be writing too) and renamed over it, so a crash never leaves half a history.
    std::string temporary = path_ + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);  // mode 0600
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temporary.c_str(), path_.c_str()) == 0;
    if (!ok) {
        if (error) *error = temporary + ": " + std::strerror(errno);
        if (fd >= 0) ::unlink(temporary.c_str());
    }
    return ok;
}

}  // namespace dorvan::platform
