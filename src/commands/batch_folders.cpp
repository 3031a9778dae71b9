#include "commands/batch_folders.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
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

struct RemoteFolder {
    bool tried = false;  // its MKD has come back
    bool made = false;
    bool reported = false;
};

// Remote folders (absolute: the current folder joined with the prefix) by
// their MKD. A leaf lock (the lock order: shell/program.cpp): held only
// while the table is read or written, never over an MKD or a report.
class RemoteFolders {
public:
    std::mutex lock;
    std::condition_variable tried;  // notified when an MKD has come back
    std::map<std::string, RemoteFolder> folders;

    static RemoteFolders& instance() {
        static RemoteFolders table;
        return table;
    }
};

// The folders on a remote path, each as its prefix of the path.
std::vector<std::string> remoteFoldersOn(const std::string& remotePath) {
    std::vector<std::string> prefixes;
    for (size_t k = remotePath.find('/'); k != std::string::npos; k = remotePath.find('/', k + 1))
        if (k > 0) prefixes.push_back(remotePath.substr(0, k));
    return prefixes;
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

void ensureRemoteFolders(FtpLib& session, const std::string& remotePath, const std::string& currentFolder,
                         uint32_t encoding, const StepRunner& runStep) {
    RemoteFolders& table = RemoteFolders::instance();
    for (const std::string& prefix : remoteFoldersOn(remotePath)) {
        std::unique_lock<std::mutex> guard(table.lock);
        auto [entry, added] = table.folders.try_emplace(joinRemotePath(currentFolder, prefix));
        RemoteFolder& folder = entry->second;  // map entries stay where they are
        if (!added) {
            table.tried.wait(guard, [&] { return folder.tried; });
            continue;
        }
        guard.unlock();
        bool made = false;
        std::exception_ptr failure;  // the threads waiting for this folder learn of it either way
        try {
            const std::string name = toServer(prefix, encoding);
            made = runStep(name, [&] { return session.mkdir(name); });
        } catch (...) {
            failure = std::current_exception();
        }
        guard.lock();
        folder.tried = true;
        folder.made = made;
        table.tried.notify_all();
        if (failure) std::rethrow_exception(failure);
    }
}

void reportMadeRemoteFolders(const std::string& remotePath, const std::string& currentFolder) {
    RemoteFolders& table = RemoteFolders::instance();
    for (const std::string& prefix : remoteFoldersOn(remotePath)) {
        {
            std::lock_guard<std::mutex> guard(table.lock);
            RemoteFolder& folder = table.folders[joinRemotePath(currentFolder, prefix)];
            if (!folder.made || folder.reported) continue;
            folder.reported = true;
        }
        printMessage(Level::Info, format(" Made dir: {}", prefix));
    }
}

}  // namespace dorvan
