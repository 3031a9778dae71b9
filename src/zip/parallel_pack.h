#pragma once
// Packs members on several threads: each worker deflates whole members, the
// calling thread writes them into the archive in list order, so the archive
// is byte for byte the one that ZipWriter::addFile builds one by one.
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
    // Memory bound: at most `window` members in flight (started, not yet
    // written), each holding at most `memberBytes` of compressed output.
    size_t window = 6;
    size_t memberBytes = 4 * 1024 * 1024;
};

// The number of workers worth starting on this machine (1 or 2).
unsigned packingThreads();

// Adds `items` to the open `writer` in order. On failure *err is the first
// failure in list order, as the one-by-one packing would report it.
bool packMembers(ZipWriter& writer, const std::vector<PackItem>& items, const PackOptions& options,
                 std::string* err);

}  // namespace dorvan
