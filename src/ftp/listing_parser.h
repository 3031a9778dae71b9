#pragma once
// Reads one line of a LIST reply in any of the styles servers use (EPLF,
// UNIX long listing, VMS, MS-DOS). Pure: it never writes into the line and
// never reads outside [line, line + length).
#include <cstddef>
#include <cstdint>

namespace dorvan {

struct ListingReport {
    int32_t name = 0;  // offset of the name in the line
    int32_t nameLength = 0;
    int32_t folder = 0;     // 1 when changing into the entry may work
    int32_t retrieval = 0;  // 1 when retrieving the entry may work
    int32_t sizeKind = 0;   // 0 unknown, 1 bytes
    int64_t size = 0;       // sizes beyond the int64 range saturate at its maximum
    int32_t timeKind = 0;   // 0 unknown, 1 exact local, 2 remote to the minute, 3 remote to the day
    int64_t time = 0;       // seconds since 1970-01-01, the listed date taken as UTC; a known time
                            // always lies within the years 1 to 9999
    int32_t idKind = 0;     // 0 none, 1 unique identifier given
    int32_t id = 0;         // offset of the identifier in the line
    int32_t idLength = 0;
    int32_t style = 0;  // 0 none, 1 EPLF, 2 UNIX, 3 VMS, 4 MS-DOS
    int32_t link = 0;   // 1 for a symbolic link (a UNIX "l" line; its name excludes the " -> target")
};

constexpr int32_t msDosStyle = 4;

// True when the line was recognised; otherwise the report is all zeros. Not
// being recognised is an answer, not a failure: the line is simply no entry.
// The line excludes its line end. A line whose entry has no name is not recognised.
// nowSeconds (UTC seconds since 1970) is used for UNIX lines that show a time instead of a year: the
// year is the earliest one, from last year on, that puts the date less than 350 days before now.
bool parseListing(ListingReport& report, const char* line, size_t length, int64_t nowSeconds);
bool parseListing(ListingReport& report, const char* line, size_t length);  // uses the clock

}  // namespace dorvan
