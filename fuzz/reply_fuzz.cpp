// The control connection's reply reader, fed the stream in pieces whose sizes
// the input's first byte chooses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp/reply_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t piece = data[0] % 16 + 1;
    std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    dorvan::ReplyParser parser;
    size_t used = 0;
    while (used < stream.size()) {
        size_t n = parser.feed(stream.substr(used, piece));
        if (n > piece || parser.rawLine().size() > dorvan::ReplyParser::lineCap) std::abort();
        if (parser.state() == dorvan::ReplyParser::State::complete) {
            std::string_view line = parser.line();
            if (line.size() < 3 || line.substr(0, 3) != parser.code()) std::abort();
            parser.reset();
        } else if (parser.failed()) {
            break;
        } else if (n == 0) {
            std::abort();  // an unfinished reply must always take input
        }
        used += n;
    }
    return 0;
}
