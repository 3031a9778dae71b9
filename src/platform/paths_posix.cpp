#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/paths_os.h"

namespace dorvan::platform {

namespace os {

std::string programPath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string userDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.local/share";
}

}  // namespace os

bool createFolders(const std::string& path, unsigned mode) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && !isFolder(partial)) mkdir(partial.c_str(), static_cast<mode_t>(mode));
        }
        if (i < path.size()) partial += path[i];
    }
    return isFolder(path);
}

bool isAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

char localSeparator() { return '/'; }

std::string withLocalSeparators(std::string path) { return path; }

std::string withSlashSeparators(std::string path) { return path; }

std::string fileNameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string shortcutIconFile() { return {}; }

std::string ownFilesFolder() { return dataFolder(); }

std::string commandFilePath(const std::string& name) {
    char buf[4096];
    const std::string inCurrent = getcwd(buf, sizeof buf) ? std::string(buf) + "/" + name : name;
    if (pathExists(inCurrent)) return inCurrent;
    const std::string besideProgram = programFolder() + name;
    return pathExists(besideProgram) ? besideProgram : inCurrent;
}

std::string manualPageAddress(const std::string& name) { return "man:" + name + "(1)"; }

bool pathExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool isSpecialFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
}

std::optional<uint64_t> fileSize(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool renameFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without it: a new link fails where the name is taken.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

}  // namespace dorvan::platform
