#include "scan/scan_filter.h"

#include <string>

#include "ftp/ftp_file_info.h"
#include "scan/wildcard.h"

namespace dorvan {
namespace {

bool anyMatches(const std::vector<std::string>& patterns, std::string_view name) {
    for (const std::string& pattern : patterns)
        if (wildcardMatch(pattern, name)) return true;
    return false;
}

}  // namespace

bool AgeBounds::accepts(int64_t now, int64_t time, int64_t precision) const {
    if (!isSet() || time == unknownTime) return true;
    const int64_t age = now - time;  // the oldest the file can be; the youngest is precision - 1 ticks less
    if (max != unsetBound && age - (precision - 1) > max) return false;
    if (min != unsetBound && age < min) return false;
    return true;
}

bool ScanFilter::namePasses(std::string_view name, std::string_view otherName) const {
    if (!include.empty() && !anyMatches(include, name)) return false;
    return !anyMatches(exclude, name) && (otherName.empty() || !anyMatches(exclude, otherName));
}

bool ScanFilter::sizePasses(uint64_t size) const {
    if (size == unknownSize) return true;
    if (minSize != unsetSizeBound && size < minSize) return false;
    if (maxSize != unsetSizeBound && size > maxSize) return false;
    return true;
}

bool ScanFilter::capReached(size_t files, size_t folders) const {
    if (maxFiles != unsetBound && static_cast<int64_t>(files) >= maxFiles) return true;
    return maxFolders != unsetBound && static_cast<int64_t>(folders) >= maxFolders;
}

bool ScanFilter::failsUndated(const FtpFileInfo& file) const {
    return undatedFails && modified.isSet() && file.modify == unknownTime;
}

bool accept(const ScanFilter& filter, const FtpFileInfo& file) {
    const std::string rooted = file.name.starts_with('/') ? std::string() : "/" + file.name;
    return filter.namePasses(file.name, rooted) && filter.sizePasses(file.size) &&
           filter.modified.accepts(filter.now, file.modify, file.modifyPrecision);
}

}  // namespace dorvan
