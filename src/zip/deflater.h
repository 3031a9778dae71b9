#pragma once
// Raw deflate of one file in fixed-size chunks, as ZIP stores it. The same
// input always gives the same bytes, whichever thread runs it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "platform/local_file.h"

namespace dorvan {

class Deflater {
public:
    struct Result {
        uint32_t crc = 0;
        uint64_t size = 0;
        uint64_t compressedSize = 0;
    };
    // Takes each piece of compressed output; false stops the run.
    using Sink = std::function<bool(std::string_view bytes, std::string* err)>;

    Deflater();
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool init(std::string* err);
    // Worst-case compressed size of `size` input bytes (after init).
    uint64_t bound(uint64_t size);
    // Reads `source` to its end through the compressor.
    bool run(platform::FileReader& source, const std::string& sourcePath, const Sink& sink, Result* result,
             std::string* err);

private:
    z_stream zs_{};
    bool ready_ = false;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
};

}  // namespace dorvan
