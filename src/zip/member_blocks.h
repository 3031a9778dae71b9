#pragma once
// A member is read and deflated in blocks of at most a block size (4 MiB by
// default). Each block is deflated on its own, without the history of the
// blocks before it, into a piece that ends on a byte boundary, or ends the
// stream for the last block; the member's deflate stream is its pieces one
// after another. So blocks can be deflated on any thread in any order, and
// the stream is the same bytes whichever thread deflated which block.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/local_file.h"
#include "zip/whole_deflate.h"

namespace dorvan {

constexpr size_t defaultBlockBytes = 4 * 1024 * 1024;

// A buffer of bytes left uninitialised, keeping its memory between uses.
struct ByteBuffer {
    std::unique_ptr<unsigned char[]> data;
    size_t capacity = 0;
    size_t size = 0;

    void reserve(size_t bytes);  // may discard the content
    std::string_view bytes() const { return {reinterpret_cast<const char*>(data.get()), size}; }
};

// CRC-32 and sizes of a run of blocks.
struct BlockSums {
    uint32_t crc = 0;
    uint64_t size = 0;
    uint64_t compressedSize = 0;

    void append(const BlockSums& next);  // becomes the sums of this run followed by `next`
};

// Reads an open source to its end, one block at a time.
class BlockReader {
public:
    BlockReader(platform::FileReader& source, size_t blockBytes);

    // Fills `block` with the next block. *last tells whether the source ended
    // with it: an empty block is always the last.
    bool next(ByteBuffer& block, bool* last, std::string* err);
    // The source's size when opened; 0 when it tells none (pipes and devices).
    uint64_t expectedSize() const { return expected_; }

private:
    platform::FileReader& source_;
    size_t blockBytes_;
    uint64_t expected_;
    uint64_t offset_ = 0;
    bool carrying_ = false;  // a byte read ahead to learn whether the source ended
    unsigned char carried_ = 0;
};

class BlockDeflater {
public:
    BlockDeflater() = default;
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater&) = delete;
    BlockDeflater& operator=(const BlockDeflater&) = delete;

    bool init(std::string* err);
    // Deflates `block` into `out`: with `last` the end of the stream, else a
    // piece that leaves the stream open. *sums gets its CRC and sizes.
    bool deflate(const ByteBuffer& block, bool last, ByteBuffer& out, BlockSums* sums, std::string* err);

private:
    bool leaveOpen(ByteBuffer& out, std::string* err);

    WholeDeflate engine_;
    z_stream scan_{};  // reads pieces back to find where their last deflate block starts
    bool scanReady_ = false;
    std::unique_ptr<unsigned char[]> scanOut_;
};

// The most bytes the deflate stream of `size` input bytes can take.
uint64_t deflatedBound(uint64_t size, size_t blockBytes);

}  // namespace dorvan
