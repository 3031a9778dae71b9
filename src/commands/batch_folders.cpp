#include "commands/batch_folders.h"

#include <map>
#include <set>

#include "commands/session_support.h"
#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"
#include "settings/format.h"
#include "settings/log.h"

namespace dorvan {
namespace {

std::set<std::string>& createdLocalFolders() {
    static std::set<std::string> folders;
    return folders;
}

// Remote folder (absolute: the current folder joined with the prefix) to
// the result of its MKD.
std::map<std::string, bool>& madeRemoteFolders() {
    static std::map<std::string, bool> folders;
    return folders;
}

}  // namespace

bool ensureLocalFolders(const std::string& localFilePath, std::string* error) {
    const char separator = platform::localSeparator();
    // Nearly always the file's own folder is there, and so is every one above it.
    const size_t last = localFilePath.rfind(separator);
    if (last != std::string::npos && last > 0 && platform::isFolder(localFilePath.substr(0, last))) return true;
    for (size_t k = localFilePath.find(separator); k != std::string::npos; k = localFilePath.find(separator, k + 1)) {
        const std::string prefix = localFilePath.substr(0, k);
        if (prefix.empty()) continue;
        if (createdLocalFolders().count(prefix) && platform::isFolder(prefix)) continue;
        if (!platform::pathExists(prefix)) {
            if (!platform::makeFolder(prefix, error)) return false;
        } else if (!platform::isFolder(prefix)) {
            *error = "Path.createPath :: file/folder conflict: " + prefix;
            return false;
        }
        createdLocalFolders().insert(prefix);
    }
    return true;
}

std::string linkLeadingOutside(const std::string& folder, const std::string& path) {
    const char separator = platform::localSeparator();
    std::string root, target, error;
    for (size_t end = path.find(separator, folder.size());; end = path.find(separator, end + 1)) {
        const std::string entry = path.substr(0, end);
        if (entry.size() > folder.size() && entry.back() != separator && platform::isSymbolicLink(entry) &&
            platform::resolvedPath(entry, target, &error)) {
            if (root.empty() && !platform::resolvedPath(folder, root, &error)) return error;
            const bool inside =
                target == root || target.starts_with(root.back() == separator ? root : root + separator);
            if (!inside) return format("the symbolic link {} leads outside the local folder", entry);
        }
        if (end == std::string::npos) return {};
    }
}

void ensureRemoteFolders(FtpLib& session, const std::string& remotePath, const std::string& currentFolder) {
    for (size_t k = remotePath.find('/'); k != std::string::npos; k = remotePath.find('/', k + 1)) {
        const std::string prefix = remotePath.substr(0, k);
        if (prefix.empty()) continue;
        auto [made, added] = madeRemoteFolders().try_emplace(joinRemotePath(currentFolder, prefix), false);
        if (!added) continue;
        made->second = session.mkdir(toServer(prefix));
        if (made->second) printMessage(Level::Info, format(" Made dir: {}", prefix));
    }
}

}  // namespace dorvan
