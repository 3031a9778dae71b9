#pragma once
// Streaming ZIP writer: each member is read and deflated in blocks
// (zip/member_blocks.h) straight into the archive, so memory stays flat
// whatever the file sizes.
// Local headers are patched in place once a member's CRC and sizes are known
// (no data descriptors). Sizes, offsets and counts that do not fit the classic
// fields go to ZIP64 records.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local_file.h"
#include "platform/output_file.h"
#include "zip/member_blocks.h"

namespace dorvan {

// Values at or above the field limits are written as 0xFFFFFFFF / 0xFFFF
// markers with the real value in a ZIP64 record. Tests lower them to exercise
// the ZIP64 layout with small files, and the block size to give small files
// several blocks.
struct ZipLimits {
    uint64_t field32 = 0xFFFFFFFF;
    uint64_t field16 = 0xFFFF;
    size_t blockBytes = defaultBlockBytes;
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

    // addFile in steps, for members deflated elsewhere: openSource checks and
    // opens a source (safe from any thread while the archive is open), then
    // beginMember, the compressed bytes through writeData, and endMember.
    bool openSource(platform::FileReader& source, const std::string& sourcePath, const std::string& entryName,
                    std::string* err) const;
    bool beginMember(const std::string& entryName, uint64_t expectedSize, int64_t modifiedUnixSeconds,
                     std::string* err);
    bool writeData(std::string_view bytes, std::string* err) { return write(bytes, err); }
    bool endMember(const BlockSums& sums, const std::string& sourcePath, std::string* err);

    size_t blockBytes() const { return limits_.blockBytes; }

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
    std::string centralHeader(const Member& member) const;
    std::string endRecords(uint64_t directoryOffset, uint64_t directorySize) const;

    ZipLimits limits_;
    platform::OutputFile out_;
    std::string path_;
    uint64_t offset_ = 0;  // bytes written so far = end of the archive
    BlockDeflater deflater_;
    ByteBuffer block_;
    ByteBuffer deflated_;
    Member current_{};  // between beginMember and endMember
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
