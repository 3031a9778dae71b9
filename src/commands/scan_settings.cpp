#include "commands/scan_settings.h"

#include "ftp/scan_filter.h"
#include "ftp/wildcard.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

uint64_t sizeBound(int64_t setting) { return setting == unsetSize ? unsetSizeBound : static_cast<uint64_t>(setting); }

}  // namespace

void applyFilterSettings(ScanFilter& filter, std::string (*convert)(std::string_view)) {
    const Settings& s = settings();
    if (!s.include.empty()) filter.include = splitPatterns(convert ? convert(s.include) : s.include);
    if (!s.exclude.empty()) filter.exclude = splitPatterns(convert ? convert(s.exclude) : s.exclude);
    filter.maxSize = sizeBound(s.lsize);
    filter.minSize = sizeBound(s.gsize);
    filter.modified.max = s.lmodified;
    filter.modified.min = s.gmodified;
    filter.maxFiles = s.maxfiles;
    filter.maxFolders = s.maxfolders;
}

}  // namespace dorvan
