// The mirror's file compare: sizes first, then times at the coarser
// precision of the two sides.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "scan/mirror_compare.h"

using namespace dorvan;

TEST(MirrorCompare, SizesThenTimesAtTheCoarserPrecision) {
    constexpr int64_t s = platform::ticksPerSecond, m = 60 * s, d = 24 * 60 * m;
    constexpr int64_t t = 63'699'955'200 * s;  // a whole day
    const MirroredFile none{};
    struct Case {
        MirroredFile source, target;
        MirrorVerdict verdict;
        int64_t precision;
    };
    const Case cases[] = {
        {{true, 5, t, s}, none, MirrorVerdict::missing, 0},
        {{true, 5, t, s}, {true, 6, t, 1}, MirrorVerdict::sizeDiffers, 0},
        {{true, unknownSize, t, s}, {true, 5, t, 1}, MirrorVerdict::sizeDiffers, 0},
        {{true, 5, t, s}, {true, 5, t + 9'999'999, 1}, MirrorVerdict::unchanged, s},  // the local fraction
        {{true, 5, t, s}, {true, 5, t + s, 1}, MirrorVerdict::timeDiffers, s},
        {{true, 5, t, s}, {true, 5, t - 1, 1}, MirrorVerdict::timeDiffers, s},
        {{true, 5, t, m}, {true, 5, t + 59 * s, 1}, MirrorVerdict::unchanged, m},  // a LIST line's minute
        {{true, 5, t, m}, {true, 5, t + m, 1}, MirrorVerdict::timeDiffers, m},
        {{true, 5, t + 5 * s, 1}, {true, 5, t, m}, MirrorVerdict::unchanged, m},        // either side may be coarser
        {{true, 5, t, d}, {true, 5, t + 23 * 60 * m, s}, MirrorVerdict::unchanged, d},  // an old file's day
        {{true, 5, t, d}, {true, 5, t - s, s}, MirrorVerdict::timeDiffers, d},
        {{true, 5, unknownTime, s}, {true, 5, t, 1}, MirrorVerdict::unchanged, 0},  // no time: sizes alone
        {{true, 0, -3 * s, s}, {true, 0, -3 * s - 1, 1}, MirrorVerdict::timeDiffers, s},
        {{true, 0, -3 * s, s}, {true, 0, -2 * s - 1, 1}, MirrorVerdict::unchanged, s},
    };
    for (const Case& c : cases) {
        const MirrorComparison got = compareMirrored(c.source, c.target);
        EXPECT_EQ(got.verdict, c.verdict) << &c - cases;
        EXPECT_EQ(got.precision, c.precision) << &c - cases;
    }
    EXPECT_EQ(precisionName(0), "size only");
    EXPECT_EQ(precisionName(s), "seconds");
    EXPECT_EQ(precisionName(m), "minutes");
    EXPECT_EQ(precisionName(d), "days");
}
