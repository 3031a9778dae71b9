#pragma once
// The temporary file of a download that is tried more than once: what one
// try received stays in it for the next.
#include <cstdint>
#include <string>

#include "ftp/ftp_file_info.h"

namespace dorvan {

struct KeptPart {
    std::string path{};                // empty until a try made one beside the destination
    uint64_t restartAt = 0;            // > 0: the next try keeps the part (this many bytes) and asks for the rest
    uint64_t announced = unknownSize;  // the whole file's size as the last try's server announced it
    bool overran = false;              // the last try's server sent more than the size it was held to
};

}  // namespace dorvan
