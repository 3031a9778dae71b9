#include "zip/zip_writer.h"

#include <string_view>

#include "platform/clock.h"
#include "text/utf8.h"

namespace dorvan {
namespace {

constexpr uint32_t localHeaderSignature = 0x04034b50;
constexpr uint32_t centralHeaderSignature = 0x02014b50;
constexpr uint32_t endSignature = 0x06054b50;
constexpr uint32_t zip64EndSignature = 0x06064b50;
constexpr uint32_t zip64LocatorSignature = 0x07064b50;
constexpr uint16_t versionClassic = 20;
constexpr uint16_t versionZip64 = 45;
constexpr uint16_t methodDeflate = 8;
constexpr uint16_t flagUtf8Name = 1 << 11;
constexpr uint16_t zip64ExtraId = 0x0001;
constexpr uint32_t marker32 = 0xFFFFFFFF;
constexpr uint16_t marker16 = 0xFFFF;
constexpr size_t localHeaderSize = 30;
constexpr size_t localCrcOffset = 14;
constexpr size_t zip64EndRecordSize = 56;

void put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}
void put16(std::string& out, uint64_t value) { put(out, value, 2); }
void put32(std::string& out, uint64_t value) { put(out, value, 4); }
void put64(std::string& out, uint64_t value) { put(out, value, 8); }

}  // namespace

DosDateTime toDosDateTime(int64_t unixSeconds) {
    platform::LocalTime local;
    if (!platform::localTime(unixSeconds, &local) || local.year < 1980)
        return {0, (1 << 5) | 1};  // 1980-01-01 00:00:00
    if (local.year > 2107) return {(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
    return {static_cast<uint16_t>((local.hour << 11) | (local.minute << 5) | (local.second / 2)),
            static_cast<uint16_t>(((local.year - 1980) << 9) | (local.month << 5) | local.day)};
}

bool needsUtf8Flag(const std::string& name) {
    bool ascii = true;
    for (char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    // A name that is not valid UTF-8 stays unflagged: readers that honour the
    // flag would reject it, while without it they show it in their default set.
    return !ascii && text::isValidUtf8(name);
}

ZipWriter::ZipWriter(ZipLimits limits) : limits_(limits) {}

ZipWriter::~ZipWriter() = default;

bool ZipWriter::open(const std::string& archivePath, std::string* err) {
    if (out_.isOpen()) {
        *err = path_ + ": archive already open";
        return false;
    }
    if (!deflater_.init(err)) return false;
    // Its members may be private files.
    if (!out_.open(archivePath, platform::OpenMode::replace, err, platform::Access::ownerOnly)) return false;
    path_ = archivePath;
    offset_ = 0;
    members_.clear();
    return true;
}

bool ZipWriter::write(std::string_view bytes, std::string* err) {
    if (!out_.write(bytes, err)) return false;
    offset_ += bytes.size();
    return true;
}

bool ZipWriter::openSource(platform::FileReader& source, const std::string& sourcePath, const std::string& entryName,
                           std::string* err) const {
    if (entryName.empty() || entryName.size() > marker16) {
        *err = sourcePath + ": entry name empty or too long";
        return false;
    }
    if (!source.open(sourcePath, err)) return false;
    if (source.isSameFileAs(path_)) {  // would read its own growing output
        *err = sourcePath + ": is the archive being written";
        return false;
    }
    return true;
}

bool ZipWriter::addFile(const std::string& sourcePath, const std::string& entryName, std::string* err) {
    if (!out_.isOpen()) {
        *err = "no archive open";
        return false;
    }
    platform::FileReader source;
    if (!openSource(source, sourcePath, entryName, err)) return false;
    BlockReader reader(source, limits_.blockBytes);
    if (!beginMember(entryName, reader.expectedSize(), source.modifiedUnixSeconds(), err)) return false;
    BlockSums sums;
    for (bool last = false; !last;) {
        BlockSums block;
        if (!reader.next(block_, &last, err)) return false;
        if (!deflater_.deflate(block_, last, deflated_, &block, err)) {
            *err = sourcePath + ": " + *err;
            return false;
        }
        if (!write(deflated_.bytes(), err)) return false;
        sums.append(block);
    }
    return endMember(sums, sourcePath, err);
}

bool ZipWriter::beginMember(const std::string& entryName, uint64_t expectedSize, int64_t modifiedUnixSeconds,
                            std::string* err) {
    if (!out_.isOpen()) {
        *err = "no archive open";
        return false;
    }
    DosDateTime stamp = toDosDateTime(modifiedUnixSeconds);
    current_ = Member{
        .name = entryName,
        .flags = needsUtf8Flag(entryName) ? flagUtf8Name : uint16_t{0},
        .dosTime = stamp.time,
        .dosDate = stamp.date,
        .crc = 0,
        .compressedSize = 0,
        .size = 0,
        .headerOffset = offset_,
        // The local header is written before the sizes are known, so the ZIP64
        // record is reserved whenever the deflated data might not fit.
        .zip64Sizes =
            expectedSize >= limits_.field32 || deflatedBound(expectedSize, limits_.blockBytes) >= limits_.field32,
    };

    std::string header;
    put32(header, localHeaderSignature);
    put16(header, current_.zip64Sizes ? versionZip64 : versionClassic);
    put16(header, current_.flags);
    put16(header, methodDeflate);
    put16(header, current_.dosTime);
    put16(header, current_.dosDate);
    put32(header, 0);  // CRC and sizes are patched after streaming
    put32(header, current_.zip64Sizes ? marker32 : 0);
    put32(header, current_.zip64Sizes ? marker32 : 0);
    put16(header, entryName.size());
    put16(header, current_.zip64Sizes ? 20 : 0);
    header += entryName;
    if (current_.zip64Sizes) {
        put16(header, zip64ExtraId);
        put16(header, 16);
        put64(header, 0);
        put64(header, 0);
    }
    return write(header, err);
}

bool ZipWriter::endMember(const BlockSums& sums, const std::string& sourcePath, std::string* err) {
    Member& member = current_;
    member.crc = sums.crc;
    member.size = sums.size;
    member.compressedSize = sums.compressedSize;
    if (!member.zip64Sizes && (member.size >= limits_.field32 || member.compressedSize >= limits_.field32)) {
        *err = sourcePath + ": file grew too large for its archive header while being packed";
        return false;
    }
    std::string patch;
    put32(patch, member.crc);
    put32(patch, member.zip64Sizes ? marker32 : member.compressedSize);
    put32(patch, member.zip64Sizes ? marker32 : member.size);
    if (!out_.writeAt(member.headerOffset + localCrcOffset, patch, err)) return false;
    if (member.zip64Sizes) {
        std::string sizes;
        put64(sizes, member.size);
        put64(sizes, member.compressedSize);
        if (!out_.writeAt(member.headerOffset + localHeaderSize + member.name.size() + 4, sizes, err)) return false;
    }
    members_.push_back(std::move(member));
    return true;
}

std::string ZipWriter::centralHeader(const Member& member) const {
    bool zip64Offset = member.headerOffset >= limits_.field32;
    std::string extra;
    if (member.zip64Sizes) {
        put64(extra, member.size);
        put64(extra, member.compressedSize);
    }
    if (zip64Offset) put64(extra, member.headerOffset);
    if (!extra.empty()) {
        std::string record;
        put16(record, zip64ExtraId);
        put16(record, extra.size());
        extra = record + extra;
    }
    uint16_t version = extra.empty() ? versionClassic : versionZip64;

    std::string header;
    put32(header, centralHeaderSignature);
    put16(header, version);  // made by: MS-DOS attribute conventions, hence external attributes 0
    put16(header, version);
    put16(header, member.flags);
    put16(header, methodDeflate);
    put16(header, member.dosTime);
    put16(header, member.dosDate);
    put32(header, member.crc);
    put32(header, member.zip64Sizes ? marker32 : member.compressedSize);
    put32(header, member.zip64Sizes ? marker32 : member.size);
    put16(header, member.name.size());
    put16(header, extra.size());
    put16(header, 0);  // comment length
    put16(header, 0);  // disk number
    put16(header, 0);  // internal attributes
    put32(header, 0);  // external attributes
    put32(header, zip64Offset ? marker32 : member.headerOffset);
    header += member.name;
    header += extra;
    return header;
}

std::string ZipWriter::endRecords(uint64_t directoryOffset, uint64_t directorySize) const {
    uint64_t count = members_.size();
    bool countOverflow = count >= limits_.field16;
    bool sizeOverflow = directorySize >= limits_.field32;
    bool offsetOverflow = directoryOffset >= limits_.field32;

    std::string records;
    if (countOverflow || sizeOverflow || offsetOverflow) {
        uint64_t zip64EndOffset = directoryOffset + directorySize;
        put32(records, zip64EndSignature);
        put64(records, zip64EndRecordSize - 12);  // size of the rest of the record
        put16(records, versionZip64);
        put16(records, versionZip64);
        put32(records, 0);  // this disk
        put32(records, 0);  // disk holding the central directory
        put64(records, count);
        put64(records, count);
        put64(records, directorySize);
        put64(records, directoryOffset);
        put32(records, zip64LocatorSignature);
        put32(records, 0);  // disk holding the ZIP64 end record
        put64(records, zip64EndOffset);
        put32(records, 1);  // total disks
    }
    put32(records, endSignature);
    put16(records, 0);
    put16(records, 0);
    put16(records, countOverflow ? marker16 : count);
    put16(records, countOverflow ? marker16 : count);
    put32(records, sizeOverflow ? marker32 : directorySize);
    put32(records, offsetOverflow ? marker32 : directoryOffset);
    put16(records, 0);  // comment length
    return records;
}

bool ZipWriter::finish(std::string* err) {
    if (!out_.isOpen()) {
        *err = "no archive open";
        return false;
    }
    uint64_t directoryOffset = offset_;
    for (const Member& member : members_) {
        if (!write(centralHeader(member), err)) return false;
    }
    if (!write(endRecords(directoryOffset, offset_ - directoryOffset), err)) return false;
    if (!out_.close(err)) return false;
    members_.clear();
    return true;
}

}  // namespace dorvan
