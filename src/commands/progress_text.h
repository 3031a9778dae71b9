#pragma once
// The text of the live status line, from the facts of one moment.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ftp/ftp_file_info.h"

namespace dorvan {

struct ProgressFacts {
    std::string name;  // the file (or listing) shown
    uint64_t done = 0;
    uint64_t total = unknownSize;
    // Set for a batch: the shown file's position among `count` files, and the
    // bytes of the whole batch.
    size_t position = 0;
    size_t count = 0;
    uint64_t batchDone = 0;
    uint64_t batchTotal = unknownSize;
    double rate = 0;   // bytes a second lately; 0 while unknown
    uint64_t cap = 0;  // the cap on the rate (ratelimit) in bytes a second; 0 for none
};

// "1.5 MB": bytes up to 1023, then one decimal in KB, MB, GB or TB of 1024.
std::string sizeText(uint64_t bytes);
// "0:07", "12:05", "1:02:03"; empty for 100 hours or more.
std::string durationText(uint64_t seconds);
// The line, at most `columns` terminal columns wide (text/display_width.h) where
// shortening can make it so: a batch's file shows only its percent, then the
// name loses its start (never below 16 columns; the end that tells the file
// type stays).
std::string progressLine(const ProgressFacts& facts, size_t columns);

}  // namespace dorvan
