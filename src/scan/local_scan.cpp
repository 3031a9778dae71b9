#include "scan/local_scan.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "ftp/listed_name.h"
#include "platform/clock.h"
#include "platform/file_facts.h"
#include "platform/folder_listing.h"
#include "platform/paths.h"

namespace dorvan {

LocalScan::LocalScan() { filter.now = platform::nowTicks(); }

LocalScan& LocalScan::scan(const std::string& start, bool descend) {
    files_.clear();
    errors_.clear();
    folders_.clear();
    unlisted_.clear();
    linkedFolders_.clear();
    start_ = start;
    walk(start, descend, 0);
    return *this;
}

void LocalScan::walk(const std::string& folder, bool descend, int depth) {
    try {
        if (depth > maxTreeDepth) {
            errors_.push_back("folders nested deeper than " + std::to_string(maxTreeDepth) + " levels: " + folder);
            unlisted_.push_back(folder);
            return;
        }
        std::vector<platform::FolderEntry> entries;
        std::string error;
        const char separator = platform::localSeparator();
        if (!platform::listFolder(folder.empty() ? std::string(1, separator) : folder, entries, &error)) {
            errors_.push_back(error);
            unlisted_.push_back(folder);
            return;
        }
        struct Kept {
            std::string path;
            bool isFolder;
        };
        std::vector<Kept> kept;
        for (const platform::FolderEntry& entry : entries) {
            std::string entryPath = folder + separator + entry.name;
            if (entry.isFolder && entry.isSymlink) {
                errors_.push_back("symbolic link to a folder not followed: " + entryPath);
                linkedFolders_.push_back(entryPath);
                continue;
            }
            if (accept(entryPath, entry.isFolder)) kept.push_back({std::move(entryPath), entry.isFolder});
        }
        entries.clear();
        for (Kept& entry : kept) {
            if (filter.capReached(files_.size(), folders_.size())) {
                unlisted_.push_back(folder);
                break;
            }
            if (!entry.isFolder) {
                files_.push_back(std::move(entry.path));
                continue;
            }
            folders_.push_back(entry.path);
            if (descend) walk(entry.path, descend, depth + 1);
        }
    } catch (const std::exception& e) {  // no memory for a huge folder: the scan keeps what it found
        errors_.push_back(e.what());
        unlisted_.push_back(folder);
    }
}

bool LocalScan::accept(const std::string& file, bool isFolder) {
    if (isFolder) return true;
    // Every path begins with the start and a separator.
    const size_t below = std::min(file.size(), start_.size() + 1);
    if (!filter.namePasses(file, std::string_view(file).substr(below))) return false;
    const bool sizes = filter.minSize != unsetSizeBound || filter.maxSize != unsetSizeBound;
    if (sizes || filter.modified.isSet() || filter.created.isSet() || filter.accessed.isSet()) {
        platform::FileFacts facts;
        std::string error;
        if (!platform::fileFacts(file, facts, &error)) {
            errors_.push_back(error);
            return false;
        }
        if (sizes && !filter.sizePasses(facts.size)) return false;
        if (!filter.modified.accepts(filter.now, facts.modified)) return false;
        if (!filter.created.accepts(filter.now, facts.created)) return false;
        if (!filter.accessed.accepts(filter.now, facts.accessed)) return false;
    }
    return true;
}

}  // namespace dorvan
