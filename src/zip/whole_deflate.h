#pragma once
// One whole buffer into one complete raw deflate stream, at the compression
// level of `zip -6`. The build picks the engine: libdeflate, or zlib where the
// toolchain has no libdeflate (whole_deflate_<engine>.cpp). One engine always
// gives the same bytes for the same input.
#include <cstddef>
#include <cstdint>

namespace dorvan {

class WholeDeflate {
public:
    WholeDeflate();
    ~WholeDeflate();
    WholeDeflate(const WholeDeflate&) = delete;
    WholeDeflate& operator=(const WholeDeflate&) = delete;

    bool ready() const { return state_ != nullptr; }  // false when the engine found no memory
    // The stream's length, or 0 when it would take more than `capacity` bytes.
    size_t compress(const unsigned char* in, size_t size, unsigned char* out, size_t capacity);

    static uint32_t crc32(uint32_t crc, const unsigned char* data, size_t size);

private:
    void* state_ = nullptr;
};

}  // namespace dorvan
