#include "scan/remote_scan.h"

#include <exception>
#include <utility>

#include "platform/clock.h"
#include "scan/scan_lister.h"

namespace dorvan {
RemoteScan::RemoteScan(FtpLib& session) : session_(session) { filter.now = platform::nowTicks(); }

void RemoteScan::takeResults(std::vector<FtpFileInfo>& files, std::vector<FtpFileInfo>& folders,
                             std::vector<std::string>& errors, std::vector<FtpFileInfo>& undated) {
    files = std::exchange(files_, {});
    folders = std::exchange(folders_, {});
    errors = std::exchange(errors_, {});
    undated = std::exchange(undated_, {});
}

RemoteScan& RemoteScan::scan(const std::string& start, bool descend) {
    files_.clear();
    errors_.clear();
    folders_.clear();
    undated_.clear();
    skipped_.clear();
    unlisted_.clear();
    ScanLister lister(session_);
    lister.runStep = runStep;
    lister.provesFolders = provesFolders;
    walk(lister, start, descend, 0);
    if (lister.astray()) {  // the names found no longer lead to what was listed
        files_.clear();
        folders_.clear();
        undated_.clear();
        unlisted_.push_back(start);
    }
    return *this;
}

void RemoteScan::walk(ScanLister& lister, const std::string& folder, bool descend, int depth) {
    try {
        std::vector<FtpFileInfo> entries;
        std::string error;
        if (!lister.list(folder, depth, entries, &error)) {
            if (!error.empty()) errors_.push_back(std::move(error));
            unlisted_.push_back(folder);
            return;
        }
        walkEntries(lister, folder, descend, depth, entries);
    } catch (const std::exception& e) {  // no memory for a huge listing: the scan keeps what it found
        errors_.push_back(e.what());
        unlisted_.push_back(folder);
    }
}

void RemoteScan::walkEntries(ScanLister& lister, const std::string& folder, bool descend, int depth,
                             std::vector<FtpFileInfo>& entries) {
    for (FtpFileInfo& entry : entries) {
        if (lister.unwinding(depth) || filter.capReached(files_.size(), folders_.size())) {
            unlisted_.push_back(folder);
            break;
        }
        if (entry.type == FtpFileType::unknown)
            skipped_.push_back({.name = joinRemotePath(folder, entry.name), .symlink = entry.symlink});
        if (entry.type != FtpFileType::dir && entry.type != FtpFileType::file) continue;
        std::string name = listedPath(entry.name, entry.backslashSeparates, codePage);
        entry.name = joinRemotePath(folder, name);
        if (entry.type == FtpFileType::dir && provesFolders && entry.mayBeLink) {
            errors_.push_back("folder '" + entry.name + "' not entered, it may be a symbolic link");
        } else if (entry.type == FtpFileType::dir) {
            const bool safe = isSafeListedName(decodedName(name, codePage));
            if (safe) folders_.push_back(entry);
            if (!descend) continue;
            if (!safe) {
                errors_.push_back("folder name leads outside the listed folder: " + entry.name);
                continue;
            }
            const size_t files = files_.size(), folders = folders_.size(), undated = undated_.size();
            walk(lister, entry.name, descend, depth + 1);
            if (lister.leftOut(depth + 1)) {  // what was found inside is a copy
                unlisted_.push_back(entry.name);
                files_.resize(files);
                folders_.resize(folders);
                undated_.resize(undated);
            }
        } else if (accept(filter, entry)) {
            (filter.failsUndated(entry) ? undated_ : files_).push_back(std::move(entry));
        }
    }
}

}  // namespace dorvan
