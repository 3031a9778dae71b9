#include <zlib.h>

#include <new>

#include "zip/whole_deflate.h"

namespace dorvan {
namespace {

z_stream* stream(void* state) { return static_cast<z_stream*>(state); }

}  // namespace

WholeDeflate::WholeDeflate() {
    auto* zs = new (std::nothrow) z_stream{};
    // Raw deflate (negative window bits): ZIP stores neither the zlib header nor the Adler-32 trailer.
    if (zs && deflateInit2(zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK) {
        state_ = zs;
    } else {
        delete zs;
    }
}

WholeDeflate::~WholeDeflate() {
    if (!state_) return;
    deflateEnd(stream(state_));
    delete stream(state_);
}

size_t WholeDeflate::compress(const unsigned char* in, size_t size, unsigned char* out, size_t capacity) {
    z_stream* zs = stream(state_);
    deflateReset(zs);
    // zlib counts in 32 bits: the blocks handed in are far smaller.
    zs->next_in = const_cast<unsigned char*>(in);
    zs->avail_in = static_cast<uInt>(size);
    zs->next_out = out;
    zs->avail_out = static_cast<uInt>(capacity);
    return deflate(zs, Z_FINISH) == Z_STREAM_END ? capacity - zs->avail_out : 0;
}

uint32_t WholeDeflate::crc32(uint32_t crc, const unsigned char* data, size_t size) {
    return static_cast<uint32_t>(crc32_z(crc, data, size));
}

}  // namespace dorvan
