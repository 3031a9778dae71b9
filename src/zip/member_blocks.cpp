#include "zip/member_blocks.h"

#include <algorithm>

namespace dorvan {
namespace {

constexpr size_t storedPieceBytes = 65535;  // the most one stored deflate block holds
constexpr size_t storedHeaderBytes = 5;
constexpr size_t scanOutBytes = 64 * 1024;

// Bytes of `size` input written as stored deflate blocks.
uint64_t storedBytes(uint64_t size) {
    return size + storedHeaderBytes * std::max<uint64_t>(1, (size + storedPieceBytes - 1) / storedPieceBytes);
}

// The block as stored deflate blocks: for input the engine cannot shrink.
void writeStored(const ByteBuffer& block, bool last, ByteBuffer& out) {
    unsigned char* at = out.data.get();
    size_t done = 0;
    do {
        size_t piece = std::min(block.size - done, storedPieceBytes);
        bool final = last && done + piece == block.size;
        *at++ = final ? 1 : 0;  // BFINAL, then BTYPE 00: stored
        *at++ = static_cast<unsigned char>(piece & 0xFF);
        *at++ = static_cast<unsigned char>(piece >> 8);
        *at++ = static_cast<unsigned char>(~piece & 0xFF);
        *at++ = static_cast<unsigned char>((~piece >> 8) & 0xFF);
        std::copy_n(block.data.get() + done, piece, at);
        at += piece;
        done += piece;
    } while (done < block.size);
    out.size = static_cast<size_t>(at - out.data.get());
}

}  // namespace

void ByteBuffer::reserve(size_t bytes) {
    if (bytes <= capacity) return;
    data.reset(new unsigned char[bytes]);
    capacity = bytes;
    size = 0;
}

void BlockSums::append(const BlockSums& next) {
    crc = static_cast<uint32_t>(crc32_combine(crc, next.crc, static_cast<z_off_t>(next.size)));
    size += next.size;
    compressedSize += next.compressedSize;
}

BlockReader::BlockReader(platform::FileReader& source, size_t blockBytes)
    : source_(source),
      blockBytes_(std::max<size_t>(blockBytes, 1)),
      expected_(source.isRegular() ? source.size() : 0) {}

bool BlockReader::next(ByteBuffer& block, bool* last, std::string* err) {
    block.reserve(blockBytes_);
    unsigned char* data = block.data.get();
    size_t got = 0;
    if (carrying_) {
        data[got++] = carried_;
        carrying_ = false;
    }
    while (got < blockBytes_) {
        long n = source_.read(reinterpret_cast<char*>(data) + got, blockBytes_ - got, err);
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    block.size = got;
    offset_ += got;
    *last = got < blockBytes_;
    if (*last || offset_ < expected_) return true;
    // A full block where the size known up front ends: one byte more tells.
    long n = source_.read(reinterpret_cast<char*>(&carried_), 1, err);
    if (n < 0) return false;
    carrying_ = n > 0;
    *last = !carrying_;
    return true;
}

BlockDeflater::~BlockDeflater() {
    if (scanReady_) inflateEnd(&scan_);
}

bool BlockDeflater::init(std::string* err) {
    if (scanReady_) return true;
    if (!engine_.ready() || inflateInit2(&scan_, -15) != Z_OK) {
        *err = "deflate: no memory for the compressor";
        return false;
    }
    scanOut_.reset(new unsigned char[scanOutBytes]);
    scanReady_ = true;
    return true;
}

bool BlockDeflater::deflate(const ByteBuffer& block, bool last, ByteBuffer& out, BlockSums* sums, std::string* err) {
    const uint64_t stored = storedBytes(block.size);
    out.reserve(static_cast<size_t>(stored) + storedHeaderBytes);  // room for leaveOpen's alignment
    // Whatever does not come out smaller than stored blocks is stored.
    out.size = engine_.compress(block.data.get(), block.size, out.data.get(), static_cast<size_t>(stored - 1));
    if (out.size == 0) {
        writeStored(block, last, out);
    } else if (!last && !leaveOpen(out, err)) {
        return false;
    }
    *sums = {
        .crc = WholeDeflate::crc32(0, block.data.get(), block.size), .size = block.size, .compressedSize = out.size};
    return true;
}

// The engine ends every stream it makes. Reading it back finds the header of
// its last deflate block, whose BFINAL bit is cleared; an empty stored block
// after it brings the piece to a byte boundary, as a zlib sync flush does.
bool BlockDeflater::leaveOpen(ByteBuffer& out, std::string* err) {
    inflateReset(&scan_);
    scan_.next_in = out.data.get();
    scan_.avail_in = static_cast<uInt>(out.size);
    uint64_t lastHeaderBit = 0;  // the first block starts at bit 0
    uint64_t endBit = 0;
    bool ended = false;
    for (;;) {
        scan_.next_out = scanOut_.get();
        scan_.avail_out = scanOutBytes;
        // Z_BLOCK returns at each block's end; data_type then holds the unused
        // bits of the last byte read, plus 64 when that block was the last.
        int rc = inflate(&scan_, Z_BLOCK);
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) break;
        if (scan_.data_type & 128) {
            uint64_t bit = uint64_t{scan_.total_in} * 8 - static_cast<unsigned>(scan_.data_type & 7);
            if (scan_.data_type & 64) {
                endBit = bit;
                ended = true;
            } else {
                lastHeaderBit = bit;
            }
        }
    }
    unsigned char& header = out.data[lastHeaderBit / 8];
    const auto finalBit = static_cast<unsigned char>(1u << (lastHeaderBit % 8));
    if (!ended || (endBit + 7) / 8 != out.size || !(header & finalBit)) {
        *err = "deflate: the compressor made a stream that does not read back";
        return false;
    }
    header = static_cast<unsigned char>(header & ~finalBit);
    // The empty stored block's 3 header bits go into the last byte's unused
    // bits when they fit, else into a byte of their own.
    if (out.size * 8 - endBit < 3) out.data[out.size++] = 0;
    for (unsigned char byte : std::initializer_list<unsigned char>{0x00, 0x00, 0xFF, 0xFF}) out.data[out.size++] = byte;
    return true;
}

uint64_t deflatedBound(uint64_t size, size_t blockBytes) {
    uint64_t blocks = size / std::max<size_t>(blockBytes, 1) + 1;
    // Stored blocks, plus the alignment that ends each block but the last.
    return size + storedHeaderBytes * (size / storedPieceBytes + blocks) + storedHeaderBytes * blocks;
}

}  // namespace dorvan
