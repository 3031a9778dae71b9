#include "ftp/ftp_scan.h"

#include <exception>

#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"
#include "platform/clock.h"

namespace dorvan {
namespace {

// Identifies a listing by what it shows; a folder listed exactly like its
// ancestors is how a link that leads back up looks from the client's side.
size_t listingHash(const std::vector<FtpFileInfo>& entries) {
    size_t hash = entries.size();
    auto mix = [&hash](size_t value) { hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2); };
    for (const FtpFileInfo& entry : entries) {
        mix(std::hash<std::string>{}(entry.name));
        mix(static_cast<size_t>(entry.type));
        mix(static_cast<size_t>(entry.size));
        mix(static_cast<size_t>(entry.modify));
    }
    return hash;
}

// True when the listing below `listingsAbove` repeats a cycle of listings
// twice in a row: one repeat can be a legitimately nested copy, two are a loop.
bool repeatsTwice(const std::vector<size_t>& listingsAbove, size_t hash) {
    const size_t depth = listingsAbove.size();
    for (size_t k = 1; 2 * k <= depth; ++k)
        if (listingsAbove[depth - k] == hash && listingsAbove[depth - 2 * k] == hash) return true;
    return false;
}

std::string pathAfterDrive(const std::string& name) {
    return name.size() >= 2 && name[1] == ':' ? name.substr(2) : name;
}

}  // namespace

FtpScan::FtpScan(FtpLib& session) : session_(session) { filter.now = platform::nowTicks(); }

void FtpScan::takeResults(std::vector<FtpFileInfo>& files, std::vector<FtpFileInfo>& folders,
                          std::vector<std::string>& errors) {
    files = std::move(files_);
    folders = std::move(folders_);
    errors = std::move(errors_);
    files_.clear();
    folders_.clear();
    errors_.clear();
}

FtpScan& FtpScan::scan() { return scan(path, nullptr, recurse); }

FtpScan& FtpScan::scan(const std::string& start, bool descend) { return scan(start, nullptr, descend); }

FtpScan& FtpScan::scanFor(const std::string& start, const std::string& name, bool descend) {
    return scan(
        start, [name](const FtpFileInfo& file) { return pathAfterDrive(file.name) == name; }, descend);
}

FtpScan& FtpScan::scan(const std::string& start, Predicate callerFilter, bool descend) {
    files_.clear();
    errors_.clear();
    folders_.clear();
    callerFilter_ = std::move(callerFilter);
    std::vector<size_t> listingsAbove;
    walk(start, descend, listingsAbove);
    return *this;
}

void FtpScan::walk(const std::string& folder, bool descend, std::vector<size_t>& listingsAbove) {
    try {
        if (static_cast<int>(listingsAbove.size()) > maxTreeDepth) {
            errors_.push_back("folders nested deeper than " + std::to_string(maxTreeDepth) + " levels: " + folder);
            return;
        }
        std::vector<FtpFileInfo> entries;
        if (!session_.list(folder, entries)) return;
        const size_t hash = listingHash(entries);
        if (repeatsTwice(listingsAbove, hash)) {
            errors_.push_back("folder leads back to a folder above it: " + folder);
            return;
        }
        listingsAbove.push_back(hash);
        walkEntries(folder, descend, entries, listingsAbove);
        listingsAbove.pop_back();
    } catch (const std::exception& e) {  // no memory for a huge listing: the scan keeps what it found
        errors_.push_back(e.what());
    }
}

void FtpScan::walkEntries(const std::string& folder, bool descend, std::vector<FtpFileInfo>& entries,
                          std::vector<size_t>& listingsAbove) {
    const size_t depth = listingsAbove.size();
    for (FtpFileInfo& entry : entries) {
        if (filter.capReached(files_.size(), folders_.size())) break;
        if (entry.type == FtpFileType::unknown)
            errors_.push_back("neither file nor folder (a link?), skipped: " + joinRemotePath(folder, entry.name));
        if (entry.type != FtpFileType::dir && entry.type != FtpFileType::file) continue;
        std::string name = withForwardSlashes(entry.name);
        entry.name = joinRemotePath(folder, name);
        if (entry.type == FtpFileType::dir) {
            if (!isSafeListedName(name)) {
                errors_.push_back("folder name leads outside the listed folder: " + entry.name);
                continue;
            }
            folders_.push_back(entry);
            if (descend) {
                walk(entry.name, descend, listingsAbove);
                listingsAbove.resize(depth);
            }
        } else if (accept(filter, entry) && (!callerFilter_ || callerFilter_(entry))) {
            files_.push_back(std::move(entry));
        }
    }
}

}  // namespace dorvan
