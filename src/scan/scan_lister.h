#pragma once
// Lists the folders of one tree walk (a scan, a recursive removal) within
// bounded work, also on servers that cannot list a folder by its path.
#include <cstddef>
#include <string>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/step_runner.h"

namespace dorvan {

class FtpLib;

// A walk lists at most this many folders; with the depth bound it ends every
// walk of a server whose folders lead back to their ancestors.
constexpr size_t maxListingsPerWalk = 100'000;

class ScanLister {
public:
    // The session must outlive the lister; one lister serves one depth-first walk.
    explicit ScanLister(FtpLib& session) : session_(session) {}
    ScanLister(const ScanLister&) = delete;
    ScanLister& operator=(const ScanLister&) = delete;

    // Lists `folder` ("" is the server's current folder), `depth` levels below
    // the start of the walk. False when it is not listed: *error names the
    // folder and says why. A folder deeper than maxTreeDepth whose path repeats
    // the listings above it, period after period, is a loop: the folder where
    // the repeats began is left out (see leftOut) and the walk goes on after it.
    // Any other folder too deep, one listing too many or a lost connection stops
    // the walk: every later call is then false with *error empty.
    bool list(const std::string& folder, int depth, std::vector<FtpFileInfo>& entries, std::string* error);

    StepRunner runStep = runOnce;  // each LIST, named by its folder ("." for the current one)
    // For walks that delete: a folder entry that may be a symbolic link
    // (FtpFileInfo::mayBeLink) is looked up in a LIST of its folder, where
    // UNIX-style lines show links as such. Shown as a link, it becomes a link
    // entry (symlink set, type unknown); shown as a folder, a folder; shown
    // otherwise or not at all, it stays marked, and the walk must not enter it.
    bool provesFolders = false;

    // True while the walk unwinds out of a left-out folder: at `depth` nothing more is to be done.
    bool unwinding(int depth) const { return stopped_ || (leftOutDepth_ > 0 && depth >= leftOutDepth_); }
    // Asked by the walk of the folder's parent when the walk of a folder
    // `depth` levels down returns: true when that folder was left out as a
    // loop (what the walk found inside it is a copy of its ancestors' contents).
    bool leftOut(int depth);
    // The server's current folder could not be restored after listing from
    // inside a folder: relative paths no longer lead where the walk found them.
    bool astray() const { return astray_; }

private:
    // Some servers cut the LIST argument at blanks ("LIST sub dir" lists "sub"
    // and "dir"); learnt from the first folder with a blank in its path.
    enum class Splitting { unknown, splits, keepsWhole };

    struct Listed {
        std::string folder;
        size_t fingerprint;
    };

    // LIST of `path` (the folder's, or "" from inside it) through runStep.
    bool listed(const std::string& folder, const std::string& path, std::vector<FtpFileInfo>& entries,
                bool plain = false);
    void proveFolders(const std::string& folder, std::vector<FtpFileInfo>& entries);
    // A folder LIST cannot name as its argument: listed from inside instead.
    bool listsFromInside(const std::string& folder) const;
    bool listByPath(const std::string& folder, std::vector<FtpFileInfo>& entries, std::string* error);
    bool listFromInside(const std::string& folder, std::vector<FtpFileInfo>& entries, std::string* error,
                        bool plain = false);
    bool tooDeep(const std::string& folder, std::string* error);
    bool notListed(const std::string& folder, std::string* error);
    bool stop(std::string reason, std::string* error);

    FtpLib& session_;
    std::vector<Listed> path_;  // the listings from the start down to the folder listed last
    size_t listings_ = 0;
    int leftOutDepth_ = 0;  // > 0 while the walk unwinds out of a folder left out as a loop
    Splitting splitting_ = Splitting::unknown;
    std::string home_;  // the server's current folder at the first listing from inside a folder
    bool stopped_ = false;
    bool astray_ = false;
};

}  // namespace dorvan
