#pragma once
// What a mirror does to make the target equal to the source: the folders to
// make, the files to transfer and why, and, when deleting, what the source
// no longer has. Filters narrow it: a file they leave out is neither
// transferred nor deleted. Nothing is deleted under a folder that either
// side could not list in full, nor where the source holds a link.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "commands/mirror_trees.h"
#include "scan/mirror_compare.h"
#include "scan/scan_filter.h"

namespace dorvan {

class MirrorState;

struct PlannedTransfer {
    std::string path;
    MirrorVerdict verdict;
};

struct MirrorPlan {
    std::vector<std::string> folders;  // to make on the target, parents first
    std::vector<PlannedTransfer> transfers;
    std::vector<std::string> deletes;  // target files
    std::vector<std::string> rmdirs;   // target folders, children first
    size_t unchanged = 0;
    // Target files the source no longer has that stay: below a folder not
    // listed in full, or all of them when they are more than the cap allows.
    std::vector<std::pair<std::string, std::string>> keptBack;  // with the reason
    size_t wouldDelete = 0;                                     // more files than the cap allows: none goes
    int64_t cap = 0;
};

struct MirrorRules {
    bool deleting = false;
    int64_t maxDelete = 0;  // unsetLimit: half of the target's files
    bool notes = false;     // debug level 1: the precision of each compare
    // Where a time differs, a record of the last upload may still tell the file is unchanged.
    const MirrorState* state = nullptr;
    bool sourceIsLocal = false;
};

MirrorPlan planMirror(const MirrorTree& source, const MirrorTree& target, const ScanFilter& filter,
                      const MirrorRules& rules);

}  // namespace dorvan
