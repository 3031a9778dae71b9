#include <gtest/gtest.h>

#include "commands/progress_text.h"

using namespace dorvan;

namespace {

constexpr uint64_t MB = 1024 * 1024;
const std::string wide = "\xE8\xA1\xA8";  // U+8868, two columns

std::string repeated(const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
}

TEST(ProgressText, SizesAndDurations) {
    struct Case {
        uint64_t bytes;
        const char* text;
    } sizes[] = {{0, "0 B"},          {1023, "1023 B"},     {1024, "1.0 KB"},       {1048524, "1023.9 KB"},
                 {1048530, "1.0 MB"}, {64 * MB, "64.0 MB"}, {5ull << 40, "5.0 TB"}, {3ull << 50, "3072.0 TB"}};
    for (const Case& c : sizes) EXPECT_EQ(sizeText(c.bytes), c.text) << c.bytes;

    struct Time {
        uint64_t seconds;
        const char* text;
    } times[] = {{0, "0:00"}, {7, "0:07"}, {725, "12:05"}, {3723, "1:02:03"}, {360000, ""}};
    for (const Time& t : times) EXPECT_EQ(durationText(t.seconds), t.text) << t.seconds;
}

TEST(ProgressText, Lines) {
    struct Case {
        ProgressFacts facts;
        size_t columns;
        std::string line;
    } cases[] = {
        {{.name = "big.bin", .done = 16 * MB, .total = 64 * MB, .rate = 4.0 * MB},
         100,
         "big.bin  16.0/64.0 MB  25%  4.0 MB/s  0:12 left"},
        // No total: no percent and no time left; no rate yet: neither.
        {{.name = "list /pub", .done = 1536, .rate = 512}, 100, "list /pub  1.5 KB  512 B/s"},
        {{.name = "c.bin", .done = MB, .total = 2 * MB, .rate = 0.5 * MB, .cap = MB / 2},
         100,
         "c.bin  1.0/2.0 MB  50%  512.0 KB/s (limit 512.0 KB/s)  0:02 left"},
        {{.name = "a.txt", .done = 100, .total = 2 * MB}, 100, "a.txt  100 B/2.0 MB  0%"},
        // An ASCII transfer moving more than the size, and an empty file.
        {{.name = "a.txt", .done = 3000, .total = 2000}, 100, "a.txt  2.0/2.0 KB  100%"},
        {{.name = "empty", .done = 0, .total = 0}, 100, "empty  0/0 B  100%"},
        // A batch: time left from the batch's bytes.
        {{.name = "b.bin",
          .done = MB,
          .total = 2 * MB,
          .position = 2,
          .count = 5,
          .batchDone = 3 * MB,
          .batchTotal = 10 * MB,
          .rate = 1.0 * MB},
         120,
         "file 2 of 5  b.bin  1.0/2.0 MB  50%  batch 3.0/10.0 MB  30%  1.0 MB/s  0:07 left"},
        {{.name = "b.bin",
          .done = MB,
          .total = 2 * MB,
          .position = 2,
          .count = 5,
          .batchDone = 3 * MB,
          .rate = 1.0 * MB},
         120,
         "file 2 of 5  b.bin  1.0/2.0 MB  50%  batch 3.0 MB  1.0 MB/s  0:01 left"},
        // Too wide: a batch's file keeps only its percent, then the name its end,
        // never fewer than 16 characters.
        {{.name = "up2.bin",
          .done = MB,
          .total = 2 * MB,
          .position = 2,
          .count = 2,
          .batchDone = 3 * MB,
          .batchTotal = 10 * MB,
          .rate = 1.0 * MB},
         79,
         "file 2 of 2  up2.bin  50%  batch 3.0/10.0 MB  30%  1.0 MB/s  0:07 left"},
        {{.name = "a-rather-long-file-name-report.csv", .done = 0, .total = 10},
         40,
         "...long-file-name-report.csv  0/10 B  0%"},
        {{.name = "a-rather-long-file-name-report.csv", .done = 0, .total = 10}, 10, "...-name-report.csv  0/10 B  0%"},
        // Wide characters take two columns each: of 30, 12 fit in 40 columns.
        {{.name = repeated(wide, 30), .done = 0, .total = 10}, 40, "..." + repeated(wide, 12) + "  0/10 B  0%"},
    };
    for (const Case& c : cases) EXPECT_EQ(progressLine(c.facts, c.columns), c.line) << c.line;
}

}  // namespace
