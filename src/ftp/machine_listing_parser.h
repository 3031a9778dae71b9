#pragma once
// Reads one line of an MLSD reply (or the entry line of an MLST reply without
// its leading blank): "fact=value;" pairs, one blank, then the name exactly as
// the server sent it. Pure: it never writes into the line and never reads
// outside [line, line + length).
#include <cstddef>

#include "ftp/listing_parser.h"

namespace dorvan {

// Fills the report as parseListing does, from these facts (names and type
// values in any letter case, in any order, each optional):
//   type    "file": retrieval; "dir": folder; a link ("OS.unix=slink:/x",
//           "OS.unix=symlink" and the like): both and link, as for a LIST link;
//           other values: neither
//   size    bytes (sizes beyond the int64 range saturate)
//   modify  "YYYYMMDDHHMMSS[.fff]" UTC: timeKind 1, the fraction dropped
//   unique  the identifier
// True when the line names an entry: not for the folder itself or its parent
// (type "cdir", "pdir"), a line without the blank that ends the facts, or an
// empty name. Otherwise the report is all zeros.
bool parseMachineListing(ListingReport& report, const char* line, size_t length);

}  // namespace dorvan
