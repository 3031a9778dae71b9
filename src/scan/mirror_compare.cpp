#include "scan/mirror_compare.h"

#include <algorithm>

#include "platform/clock.h"

namespace dorvan {
namespace {

constexpr int64_t ticksPerMinute = 60 * platform::ticksPerSecond;
constexpr int64_t ticksPerDay = 24 * 60 * ticksPerMinute;

// Rounds towards minus infinity, so that times before the epoch of the ticks compare alike.
int64_t floorDivide(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

}  // namespace

MirrorComparison compareMirrored(const MirroredFile& source, const MirroredFile& target) {
    if (!target.exists) return {MirrorVerdict::missing, 0};
    if (source.size == unknownSize || source.size != target.size) return {MirrorVerdict::sizeDiffers, 0};
    if (source.time == unknownTime || target.time == unknownTime) return {MirrorVerdict::unchanged, 0};
    const int64_t precision = std::max<int64_t>({source.precision, target.precision, 1});
    const bool same = floorDivide(source.time, precision) == floorDivide(target.time, precision);
    return {same ? MirrorVerdict::unchanged : MirrorVerdict::timeDiffers, precision};
}

std::string_view verdictName(MirrorVerdict verdict) {
    switch (verdict) {
        case MirrorVerdict::unchanged: return "unchanged";
        case MirrorVerdict::missing: return "new";
        case MirrorVerdict::sizeDiffers: return "size";
        case MirrorVerdict::timeDiffers: return "time";
    }
    return "";
}

std::string_view precisionName(int64_t precision) {
    if (precision <= 0) return "size only";
    if (precision < platform::ticksPerSecond) return "exact";
    if (precision < ticksPerMinute) return "seconds";
    if (precision < ticksPerDay) return "minutes";
    return "days";
}

}  // namespace dorvan
