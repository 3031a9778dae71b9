#include <libdeflate.h>

#include "zip/whole_deflate.h"

namespace dorvan {
namespace {

constexpr int level = 6;

libdeflate_compressor* compressor(void* state) { return static_cast<libdeflate_compressor*>(state); }

}  // namespace

WholeDeflate::WholeDeflate() : state_(libdeflate_alloc_compressor(level)) {}

WholeDeflate::~WholeDeflate() { libdeflate_free_compressor(compressor(state_)); }

size_t WholeDeflate::compress(const unsigned char* in, size_t size, unsigned char* out, size_t capacity) {
    return libdeflate_deflate_compress(compressor(state_), in, size, out, capacity);
}

uint32_t WholeDeflate::crc32(uint32_t crc, const unsigned char* data, size_t size) {
    return libdeflate_crc32(crc, data, size);
}

}  // namespace dorvan
