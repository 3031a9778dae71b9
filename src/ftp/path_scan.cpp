#include "ftp/path_scan.h"

#include <exception>

#include "ftp/listed_name.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/folder_listing.h"

namespace dorvan {

PathScan::PathScan() { filter.now = platform::nowTicks(); }

PathScan& PathScan::scan() { return scan(path, nullptr, recurse); }

PathScan& PathScan::scan(const std::string& start, bool recurse) { return scan(start, nullptr, recurse); }

PathScan& PathScan::scanFor(const std::string& start, const std::string& name, bool recurse) {
    return scan(
        start, [name](const std::string& path, bool isFolder) { return isFolder || path == name; }, recurse);
}

PathScan& PathScan::scan(const std::string& start, Predicate callerFilter, bool recurse) {
    files_.clear();
    errors_.clear();
    folders_.clear();
    callerFilter_ = std::move(callerFilter);
    walk(start, recurse, 0);
    return *this;
}

void PathScan::walk(const std::string& folder, bool recurse, int depth) {
    try {
        if (depth > maxTreeDepth) {
            errors_.push_back("folders nested deeper than " + std::to_string(maxTreeDepth) + " levels: " + folder);
            return;
        }
        std::vector<platform::FolderEntry> entries;
        std::string error;
        if (!platform::listFolder(folder.empty() ? "/" : folder, entries, &error)) {
            errors_.push_back(error);
            return;
        }
        struct Kept {
            std::string path;
            bool isFolder;
        };
        std::vector<Kept> kept;
        for (const platform::FolderEntry& entry : entries) {
            std::string entryPath = folder + "/" + entry.name;
            if (entry.isFolder && entry.isSymlink) {
                errors_.push_back("symbolic link to a folder not followed: " + entryPath);
                continue;
            }
            if (accept(entryPath, entry.isFolder)) kept.push_back({std::move(entryPath), entry.isFolder});
        }
        entries.clear();
        for (Kept& entry : kept) {
            if (filter.capReached(files_.size(), folders_.size())) break;
            if (!entry.isFolder) {
                files_.push_back(std::move(entry.path));
                continue;
            }
            folders_.push_back(entry.path);
            if (recurse) walk(entry.path, recurse, depth + 1);
        }
    } catch (const std::exception& e) {
        errors_.push_back(e.what());
    }
}

bool PathScan::accept(const std::string& path, bool isFolder) {
    if (isFolder) return true;
    if (!filter.namePasses(path)) return false;
    const bool sizes = filter.minSize != unsetSizeBound || filter.maxSize != unsetSizeBound;
    if (sizes || filter.modified.isSet() || filter.created.isSet() || filter.accessed.isSet()) {
        platform::FileFacts facts;
        std::string error;
        if (!platform::fileFacts(path, facts, &error)) {
            errors_.push_back(error);
            return false;
        }
        if (sizes && !filter.sizePasses(facts.size)) return false;
        if (!filter.modified.accepts(filter.now, facts.modified)) return false;
        if (!filter.created.accepts(filter.now, facts.created)) return false;
        if (!filter.accessed.accepts(filter.now, facts.accessed)) return false;
    }
    return !callerFilter_ || callerFilter_(path, false);
}

}  // namespace dorvan
