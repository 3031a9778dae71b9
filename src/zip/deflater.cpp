#include "zip/deflater.h"

namespace dorvan {
namespace {

constexpr size_t chunkSize = 256 * 1024;

}  // namespace

Deflater::Deflater() : in_(chunkSize), out_(chunkSize) {}

Deflater::~Deflater() {
    if (ready_) deflateEnd(&zs_);
}

bool Deflater::init(std::string* err) {
    if (ready_) return true;
    // Raw deflate (negative window bits): ZIP stores neither the zlib header nor the Adler-32 trailer.
    if (deflateInit2(&zs_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        *err = std::string("zlib: ") + (zs_.msg ? zs_.msg : "deflate initialisation failed");
        return false;
    }
    ready_ = true;
    return true;
}

uint64_t Deflater::bound(uint64_t size) { return deflateBound(&zs_, static_cast<uLong>(size)); }

bool Deflater::run(platform::FileReader& source, const std::string& sourcePath, const Sink& sink, Result* result,
                   std::string* err) {
    deflateReset(&zs_);
    *result = {};
    uLong crc = crc32(0, nullptr, 0);
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        size_t got = 0;
        while (got < in_.size()) {
            long n = source.read(reinterpret_cast<char*>(in_.data()) + got, in_.size() - got, err);
            if (n < 0) return false;
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        if (got < in_.size()) flush = Z_FINISH;
        crc = crc32_z(crc, in_.data(), got);
        result->size += got;
        zs_.next_in = in_.data();
        zs_.avail_in = static_cast<uInt>(got);
        do {
            zs_.next_out = out_.data();
            zs_.avail_out = static_cast<uInt>(out_.size());
            if (deflate(&zs_, flush) == Z_STREAM_ERROR) {
                *err = sourcePath + ": zlib deflate failed";
                return false;
            }
            size_t produced = out_.size() - zs_.avail_out;
            if (produced > 0 && !sink(std::string_view(reinterpret_cast<const char*>(out_.data()), produced), err)) {
                return false;
            }
            result->compressedSize += produced;
        } while (zs_.avail_out == 0);
    }
    result->crc = static_cast<uint32_t>(crc);
    return true;
}

}  // namespace dorvan
