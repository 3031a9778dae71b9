#pragma once
#include <cstdint>
#include <string>

namespace dorvan {

enum class FtpFileType : int32_t { unknown = 0, file = 1, cdir = 2, pdir = 3, dir = 4 };

constexpr uint64_t unknownSize = UINT64_MAX;
constexpr int64_t unknownTime = 3155378975999999999;  // the largest time in ticks

struct FtpFileInfo {
    std::string name;
    FtpFileType type = FtpFileType::unknown;
    uint64_t size = unknownSize;
    int64_t modify = unknownTime;  // 100-ns ticks since 0001-01-01
    // How exactly the listing gave modify: the time lies in [modify, modify + modifyPrecision).
    int64_t modifyPrecision = 1;
    int64_t create = unknownTime;
    bool symlink = false;  // listed as a symbolic link; its type is then unknown
    // A folder by MLSD's "type=dir", which many servers also give a symbolic
    // link to a folder: no proof that it is no link.
    bool mayBeLink = false;
    // "\" in the name separates folders: the line is MS-DOS style or the server's
    // system type is Windows. Elsewhere it is a character of the name.
    bool backslashSeparates = false;
};

}  // namespace dorvan
