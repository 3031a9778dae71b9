#pragma once
// Packs members on several threads. Workers take turns reading the members'
// blocks in list order (zip/member_blocks.h) and deflate each block they read
// while the others read on; the calling thread writes the blocks into the
// archive in reading order. So one large member keeps every worker busy, and
// the archive is byte for byte the one that ZipWriter::addFile builds one
// member after another.
#include <cstddef>
#include <string>
#include <vector>

#include "zip/zip_writer.h"

namespace dorvan {

struct PackItem {
    std::string path;
    std::string name;  // entry name
};

struct PackOptions {
    unsigned threads = 2;  // deflating workers; 1 packs on the calling thread
    // Memory bound: blocks read and not yet written take at most this many
    // input bytes (each block counting at least 64 KiB), besides the block
    // each worker reads.
    size_t inFlightBytes = 3 * defaultBlockBytes;
};

// The number of workers worth starting on this machine (1 or 2).
unsigned packingThreads();

// Adds `items` to the open `writer` in order. On failure *err is the first
// failure in list order, as the one-by-one packing would report it.
bool packMembers(ZipWriter& writer, const std::vector<PackItem>& items, const PackOptions& options, std::string* err);

}  // namespace dorvan
