#include "commands/mirror_plan.h"

#include <algorithm>

#include "commands/mirror_state.h"
#include "settings/format.h"
#include "settings/log.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

bool passes(const ScanFilter& filter, const std::string& path, const TreeFile& file) {
    return accept(filter, {.name = path,
                           .type = FtpFileType::file,
                           .size = file.size,
                           .modify = file.time,
                           .modifyPrecision = file.precision});
}

MirroredFile mirrored(const TreeFile& file) { return {true, file.size, file.time, file.precision}; }

bool sourceHas(const MirrorTree& source, const std::string& path) {
    return source.files.count(path) || source.folders.count(path) || source.others.count(path);
}

void markParents(std::set<std::string>& kept, const std::string& path) {
    for (size_t k = path.rfind('/'); k != std::string::npos && k > 0; k = path.rfind('/', k - 1)) {
        if (!kept.insert(path.substr(0, k)).second) break;
    }
}

}  // namespace

MirrorPlan planMirror(const MirrorTree& source, const MirrorTree& target, const ScanFilter& filter,
                      const MirrorRules& rules) {
    MirrorPlan plan;
    for (const std::string& folder : source.folders)
        if (!target.folders.count(folder)) plan.folders.push_back(folder);
    for (const auto& [path, file] : source.files) {
        if (!passes(filter, path, file)) continue;
        const auto there = target.files.find(path);
        const MirrorComparison compared =
            compareMirrored(mirrored(file), there == target.files.end() ? MirroredFile{} : mirrored(there->second));
        MirrorVerdict verdict = compared.verdict;
        if (verdict == MirrorVerdict::timeDiffers && rules.state &&
            rules.state->matches(path, rules.sourceIsLocal ? file : there->second,
                                 rules.sourceIsLocal ? there->second : file))
            verdict = MirrorVerdict::unchanged;
        if (rules.notes && there != target.files.end())
            printMessage(Level::Info,
                         format(" mirror: {} {}, {}", path, verdictName(verdict),
                                compared.precision == 0 && verdict != MirrorVerdict::sizeDiffers
                                    ? "compared by size only"
                                    : "times compared to the " + std::string(precisionName(compared.precision))));
        if (verdict == MirrorVerdict::unchanged)
            ++plan.unchanged;
        else
            plan.transfers.push_back({path, verdict});
    }
    if (!rules.deleting) return plan;
    std::set<std::string> protectedFolders = source.unlisted;
    protectedFolders.insert(target.unlisted.begin(), target.unlisted.end());
    protectedFolders.insert(source.others.begin(), source.others.end());
    std::set<std::string> kept;  // target folders that keep something
    for (const auto& [path, file] : target.files) {
        const bool vanished = !sourceHas(source, path) && passes(filter, path, file);
        if (vanished && !underAny(protectedFolders, path)) {
            plan.deletes.push_back(path);
            continue;
        }
        if (vanished) plan.keptBack.emplace_back(path, "folder not listed");
        markParents(kept, path);
    }
    for (const std::string& path : target.others) markParents(kept, path);
    for (auto folder = target.folders.rbegin(); folder != target.folders.rend(); ++folder) {
        if (!kept.count(*folder) && !sourceHas(source, *folder) && !underAny(protectedFolders, *folder))
            plan.rmdirs.push_back(*folder);
        else
            markParents(kept, *folder);
    }
    plan.cap = rules.maxDelete == unsetLimit ? static_cast<int64_t>(target.files.size() / 2)
                                             : std::max<int64_t>(rules.maxDelete, 0);
    if (static_cast<int64_t>(plan.deletes.size()) > plan.cap) {
        plan.wouldDelete = plan.deletes.size();
        for (const std::string& path : plan.deletes) plan.keptBack.emplace_back(path, "over maxdelete");
        plan.deletes.clear();
        plan.rmdirs.clear();
    }
    return plan;
}

}  // namespace dorvan
