#include "scan/scan_lister.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "ftp/ftp_lib.h"
#include "ftp/listed_name.h"

namespace dorvan {
namespace {

std::string shown(const std::string& folder) { return folder.empty() ? "." : folder; }

bool holdsEntries(const std::vector<FtpFileInfo>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const FtpFileInfo& entry) {
        return entry.type != FtpFileType::cdir && entry.type != FtpFileType::pdir;
    });
}

bool hasBlank(const std::string& folder) { return folder.find(' ') != std::string::npos; }

// Identifies a listing by what it shows: a folder that leads back to an
// ancestor lists exactly like it.
size_t fingerprint(const std::vector<FtpFileInfo>& entries) {
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

}  // namespace

bool ScanLister::list(const std::string& folder, int depth, std::vector<FtpFileInfo>& entries, std::string* error) {
    entries.clear();
    error->clear();
    if (stopped_) return false;
    if (depth > maxTreeDepth) return tooDeep(folder, error);
    if (listings_ == maxListingsPerWalk)
        return stop(
            "more than " + std::to_string(maxListingsPerWalk) + " folders to list, stopped at '" + shown(folder) + "'",
            error);
    ++listings_;
    if (!listByPath(folder, entries, error)) return false;
    if (provesFolders) proveFolders(folder, entries);
    path_.resize(static_cast<size_t>(depth));
    path_.push_back({folder, fingerprint(entries)});
    return true;
}

// A leading "-" reads as an option of LIST to most servers.
bool ScanLister::listsFromInside(const std::string& folder) const {
    return !folder.empty() && (folder.front() == '-' || (splitting_ == Splitting::splits && hasBlank(folder)));
}

bool ScanLister::listByPath(const std::string& folder, std::vector<FtpFileInfo>& entries, std::string* error) {
    if (folder.empty()) return listed(folder, "", entries) || notListed(folder, error);
    if (listsFromInside(folder)) return listFromInside(folder, entries, error);

    const bool listed = this->listed(folder, folder, entries);
    // Lost, or failed on this side (a listing past its bounds): no other way would fare better.
    if (!session_.isOpen() || (!listed && session_.lastOutcome().kind == OutcomeKind::localError))
        return notListed(folder, error);
    // Nothing listed for a path with a blank may be a server that split it.
    const bool suspect = hasBlank(folder) && splitting_ != Splitting::keepsWhole;
    if (listed && holdsEntries(entries)) {
        if (suspect) splitting_ = Splitting::keepsWhole;
        return true;
    }
    if (listed && !suspect) return true;  // an empty folder
    if (!listFromInside(folder, entries, error)) return false;
    if (listed && holdsEntries(entries)) splitting_ = Splitting::splits;
    return true;
}

// The types of the folder entries that may be links, from LIST, by the way the folder was listed.
void ScanLister::proveFolders(const std::string& folder, std::vector<FtpFileInfo>& entries) {
    if (std::none_of(entries.begin(), entries.end(), [](const FtpFileInfo& entry) { return entry.mayBeLink; })) return;
    std::vector<FtpFileInfo> plain;
    std::string error;
    const bool listedByPath = !listsFromInside(folder) && listed(folder, folder, plain, true);
    if (!listedByPath && !folder.empty() && session_.isOpen() && !stopped_) listFromInside(folder, plain, &error, true);
    std::unordered_map<std::string_view, const FtpFileInfo*> byName;
    for (const FtpFileInfo& line : plain) byName.emplace(line.name, &line);  // the first of a name, as listed
    for (FtpFileInfo& entry : entries) {
        if (!entry.mayBeLink) continue;
        const auto found = byName.find(entry.name);
        if (found == byName.end()) continue;
        const FtpFileInfo* same = found->second;
        if (same->symlink) {
            entry.symlink = true;
            entry.type = FtpFileType::unknown;
        }
        entry.mayBeLink = !same->symlink && same->type != FtpFileType::dir;
    }
}

// CWD into the folder, LIST, CWD back to where the walk is.
bool ScanLister::listFromInside(const std::string& folder, std::vector<FtpFileInfo>& entries, std::string* error,
                                bool plain) {
    entries.clear();
    if (home_.empty() && !session_.pwd(home_)) return notListed(folder, error);  // no way back
    if (!session_.chdir(folder)) return notListed(folder, error);
    const bool listed = this->listed(folder, "", entries, plain);
    const std::string reply = session_.lastResponse();
    if (!session_.chdir(home_)) {
        astray_ = true;
        return stop("cannot change back to '" + home_ + "' after listing '" + folder + "', " + session_.lastResponse(),
                    error);
    }
    if (listed) return true;
    *error = "folder '" + folder + "' not listed, " + reply;
    return false;
}

bool ScanLister::listed(const std::string& folder, const std::string& path, std::vector<FtpFileInfo>& entries,
                        bool plain) {
    return runStep(shown(folder),
                   [&] { return plain ? session_.listPlain(path, entries) : session_.list(path, entries); });
}

// The listings above end in a repeating run of `period` listings: the first
// folder of the run is where a link leads back up. Too short a run is no loop.
bool ScanLister::tooDeep(const std::string& folder, std::string* error) {
    const size_t last = path_.size() - 1;
    size_t loopStart = path_.size();
    for (size_t period = 1; 2 * period <= last; ++period) {
        size_t start = last + 1;
        while (start > period && path_[start - 1].fingerprint == path_[start - 1 - period].fingerprint) --start;
        if (last + 1 - start >= 2 * period) loopStart = std::min(loopStart, start);
    }
    if (loopStart == path_.size())
        return stop(
            "folders nested deeper than " + std::to_string(maxTreeDepth) + " levels, stopped at '" + folder + "'",
            error);
    leftOutDepth_ = static_cast<int>(loopStart);
    *error = "folder '" + path_[loopStart].folder + "' leads back to a folder above it (listed alike down to " +
             std::to_string(maxTreeDepth) + " levels), left out";
    return false;
}

bool ScanLister::leftOut(int depth) {
    if (stopped_ || depth != leftOutDepth_) return false;
    leftOutDepth_ = 0;
    return true;
}

bool ScanLister::notListed(const std::string& folder, std::string* error) {
    *error = "folder '" + shown(folder) + "' not listed, " + session_.lastResponse();
    if (!session_.isOpen()) stopped_ = true;
    return false;
}

bool ScanLister::stop(std::string reason, std::string* error) {
    stopped_ = true;
    *error = std::move(reason);
    return false;
}

}  // namespace dorvan
