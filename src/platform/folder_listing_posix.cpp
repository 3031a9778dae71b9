#include "platform/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace dorvan::platform {
namespace {

bool leadsToFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string* error) {
    entries.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        *error = folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        FolderEntry item{.name = std::move(name)};
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::lstat((prefix + item.name).c_str(), &st) == 0)
                type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
        item.isSymlink = type == DT_LNK;
        item.isFolder = type == DT_DIR || (item.isSymlink && leadsToFolder(prefix + item.name));
        entries.push_back(std::move(item));
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        *error = folder + ": " + std::strerror(readError);
        return false;
    }
    return true;
}

bool makeFolder(const std::string& folder, std::string* error) {
    if (::mkdir(folder.c_str(), 0777) == 0) return true;
    *error = folder + ": " + std::strerror(errno);
    return false;
}

bool removeFolder(const std::string& folder, std::string* error) {
    if (::rmdir(folder.c_str()) == 0) return true;
    *error = folder + ": " + std::strerror(errno);
    return false;
}

bool isSymbolicLink(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool resolvedPath(const std::string& path, std::string& resolved, std::string* error) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    resolved = real.get();
    return true;
}

}  // namespace dorvan::platform
