#pragma once
// When a mirror takes a file as unchanged: the same size, and modification
// times equal at the coarser precision of the two sides (a listing by MLSD
// or an MDTM gives seconds, a LIST line minutes or, for old files, days).
#include <cstdint>
#include <string_view>

#include "ftp/ftp_file_info.h"

namespace dorvan {

// One side's file as a mirror compares it; times in 100-ns ticks.
struct MirroredFile {
    bool exists = false;
    uint64_t size = unknownSize;
    int64_t time = unknownTime;
    int64_t precision = 1;  // the time lies in [time, time + precision)
};

enum class MirrorVerdict {
    unchanged,
    missing,      // the target has no such file: "new"
    sizeDiffers,  // or a size is unknown: "size"
    timeDiffers,  // "time"
};

struct MirrorComparison {
    MirrorVerdict verdict;
    // The precision the times were compared at; 0 when a time is unknown
    // and the sizes alone decided.
    int64_t precision;
};

MirrorComparison compareMirrored(const MirroredFile& source, const MirroredFile& target);

// "new", "size", "time" or "unchanged".
std::string_view verdictName(MirrorVerdict verdict);

// "exact", "seconds", "minutes", "days" or "size only" (precision 0).
std::string_view precisionName(int64_t precision);

}  // namespace dorvan
