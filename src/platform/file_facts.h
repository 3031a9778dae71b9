#pragma once
// Size and times of a local file, times in 100-ns ticks since 0001-01-01 UTC.
#include <cstdint>
#include <string>

namespace dorvan::platform {

constexpr int64_t unknownFileTime = 3155378975999999999;  // the largest time in ticks

struct FileFacts {
    uint64_t size = 0;
    int64_t modified = unknownFileTime;
    int64_t accessed = unknownFileTime;
    int64_t created = unknownFileTime;  // the birth time, where the file system records one
};

// Follows symbolic links. False with a reason when the file cannot be examined.
bool fileFacts(const std::string& path, FileFacts& facts, std::string* error);

// Gives the file the modification time `ticks`; its other times stay. False
// with a reason ("<path>: <reason>") when the file cannot be changed.
bool setModifiedTime(const std::string& path, int64_t ticks, std::string* error);

}  // namespace dorvan::platform
