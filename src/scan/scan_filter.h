#pragma once
// The filter set shared by the remote and the local tree scans: wildcards,
// inclusive size and age bounds, caps on what a scan collects.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace dorvan {

struct FtpFileInfo;

constexpr uint64_t unsetSizeBound = std::numeric_limits<uint64_t>::max();
constexpr int64_t unsetBound = std::numeric_limits<int64_t>::max();

// Ages in 100-ns ticks; an age is the reference instant minus a file time.
struct AgeBounds {
    int64_t min = unsetBound;
    int64_t max = unsetBound;

    bool isSet() const { return min != unsetBound || max != unsetBound; }
    // An unknown time (unknownTime) always passes. A time known to `precision`
    // ticks lies in [time, time + precision): the bounds are taken at that precision.
    bool accepts(int64_t now, int64_t time, int64_t precision = 1) const;
};

struct ScanFilter {
    std::vector<std::string> include;  // empty: every name
    std::vector<std::string> exclude;
    uint64_t minSize = unsetSizeBound;
    uint64_t maxSize = unsetSizeBound;
    AgeBounds modified;
    AgeBounds created;   // the local scan only
    AgeBounds accessed;  // the local scan only
    int64_t maxFiles = unsetBound;
    int64_t maxFolders = unsetBound;
    int64_t now = 0;  // reference instant of every age, in ticks
    // For scans that delete: a file whose time is unknown fails a set age
    // bound instead of passing it (the remote scan sets such files aside).
    bool undatedFails = false;

    // Include and exclude lists against the name; the exclude list also
    // against `otherName`, when given: the same path spelt another way.
    bool namePasses(std::string_view name, std::string_view otherName = {}) const;
    // An unknown size (unknownSize) always passes.
    bool sizePasses(uint64_t size) const;
    // True when a scan that holds this many results must stop (signed: a cap
    // of 0 or below stops it before the first entry).
    bool capReached(size_t files, size_t folders) const;
    // True when undatedFails holds, an age bound is set and the file's time is unknown.
    bool failsUndated(const FtpFileInfo& file) const;
};

// The remote file test, in order: include, exclude (also against the path
// with a leading "/"), size, modification age.
bool accept(const ScanFilter& filter, const FtpFileInfo& file);

}  // namespace dorvan
