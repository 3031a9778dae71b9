#pragma once
// The filter settings (include, exclude, lsize, gsize, lmodified, gmodified,
// maxfiles, maxfolders) as a scan's filter set.
#include <string>
#include <string_view>

namespace dorvan {

struct ScanFilter;

// `convert` is applied to the pattern settings before they are split at "|".
void applyFilterSettings(ScanFilter& filter, std::string (*convert)(std::string_view));

}  // namespace dorvan
