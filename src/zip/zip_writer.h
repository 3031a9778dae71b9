#pragma once
// Streaming ZIP writer: each member is read and deflated in fixed-size chunks
// straight into the archive, so memory stays flat whatever the file sizes.
// Local headers are patched in place once a member's CRC and sizes are known
// (no data descriptors). Sizes, offsets and counts that do not fit the classic
// fields go to ZIP64 records.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "platform/local_file.h"
#include "platform/output_file.h"

namespace dorvan {

// Values at or above these limits are written as 0xFFFFFFFF / 0xFFFF markers
// with the real value in a ZIP64 record. Tests lower them to exercise the
// ZIP64 layout with small files.
struct ZipLimits {
    uint64_t field32 = 0xFFFFFFFF;
    uint64_t field16 = 0xFFFF;
};

class ZipWriter {
public:
    explicit ZipWriter(ZipLimits limits = {});
    ~ZipWriter();  // closes an unfinished archive as it stands
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Creates or truncates the archive file.
    bool open(const std::string& archivePath, std::string* err);
    // Appends one member with the content and modification time of sourcePath.
    bool addFile(const std::string& sourcePath, const std::string& entryName, std::string* err);
    // Writes the central directory and the end records and closes the file.
    bool finish(std::string* err);

private:
    struct Member {
        std::string name;
        uint16_t flags;
        uint16_t dosTime;
        uint16_t dosDate;
        uint32_t crc;
        uint64_t compressedSize;
        uint64_t size;
        uint64_t headerOffset;
        bool zip64Sizes;  // the local header carries a ZIP64 size record
    };

    bool write(std::string_view bytes, std::string* err);
    bool streamDeflated(platform::FileReader& source, const std::string& sourcePath, Member& member,
                        std::string* err);
    std::string centralHeader(const Member& member) const;
    std::string endRecords(uint64_t directoryOffset, uint64_t directorySize) const;

    ZipLimits limits_;
    platform::OutputFile out_;
    std::string path_;
    uint64_t offset_ = 0;  // bytes written so far = end of the archive
    z_stream zs_{};
    bool zsReady_ = false;
    std::vector<unsigned char> inBuf_;
    std::vector<unsigned char> outBuf_;
    std::vector<Member> members_;
};

// Archive-format helpers, exposed for tests.
struct DosDateTime {
    uint16_t time;
    uint16_t date;
};
DosDateTime toDosDateTime(int64_t unixSeconds);  // local time, clamped to 1980..2107
bool needsUtf8Flag(const std::string& name);     // non-ASCII and valid UTF-8

}  // namespace dorvan
