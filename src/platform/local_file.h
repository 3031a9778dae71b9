#pragma once
// Local files for transfers: a reader, and a writer that fills a temporary
// file beside its destination and puts it in place only on commit, so a
// failed download never touches an existing file.
//
// Temporary files are readable by their owner only until the commit gives
// them the destination's permissions (or a new file's), and a writer holds
// an advisory lock on its file while it is open, so that a run can tell the
// temporaries of a killed run from those of a running one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dorvan::platform {

// True where local text files end their lines with CR LF (Windows), so that
// ASCII-type downloads are stored that way; POSIX uses LF.
bool localTextUsesCrLf();

// The name of the temporary file that fills `name` in its folder:
// "." name "." unique ".part", with `name` cut short at a character boundary
// so that the whole takes at most `limit` bytes; `unique` is never cut.
std::string partFileName(std::string_view name, std::string_view unique, size_t limit);
// A `unique` no other writer uses: process id, a counter and the clock, in hex.
std::string uniquePartSuffix();
// The name beside `destination` where a download's part stays between runs:
// its temporary name with the unique "resume-" `key` (16 hex digits that
// name the remote file it belongs to).
std::string keptPartName(const std::string& destination, std::string_view key);
// The bytes of the file at `path` when it is one a writer may take on: a
// regular file of this user's with no other name, no symbolic link, not held
// by a running writer. Nothing for anything else.
std::optional<uint64_t> ownPartSize(const std::string& path);

class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Refuses a folder. Failures read "<path>: <reason>".
    bool open(const std::string& path, std::string* error);
    // Refuses anything but a plain file, without waiting on a FIFO or a
    // device; failures read "<path>: <reason>".
    bool openPlainFile(const std::string& path, std::string* error);
    long read(char* buffer, size_t size, std::string* error);  // 0 at the end, -1 on error
    // The next read begins at byte `offset`.
    bool skipTo(uint64_t offset, std::string* error);

    // Facts of the open file.
    bool isRegular() const;
    uint64_t size() const;
    int64_t modifiedUnixSeconds() const;
    bool isSameFileAs(const std::string& path) const;

    int descriptor() const { return fd_; }  // for the kernel-side moves of data_move.h
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

class ReplacingFileWriter {
public:
    ReplacingFileWriter() = default;
    ~ReplacingFileWriter();  // removes the temporary file unless committed
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    // Creates the temporary file in the destination's folder.
    // Failures read "<what failed> <path>: <reason>".
    bool open(const std::string& destination, std::string* error);
    // Takes `part` (a file a writer kept) as the temporary file when
    // ownPartSize allows it and it has at least `keep` bytes: written on after
    // the first `keep`. False leaves the part as it was.
    bool adoptPart(const std::string& destination, const std::string& part, uint64_t keep);
    bool write(std::string_view data, std::string* error);
    // Closes the temporary file and renames it over the destination, with the
    // destination's permissions (a new file's when there is none).
    bool commit(std::string* error);
    // Closes the temporary file and leaves it where it is; returns its path.
    std::string keep();

    // For the kernel-side moves of data_move.h: the temporary file, and its
    // failure report for errno, which discards it like a failed write.
    int descriptor() const { return fd_; }
    const std::string& temporaryPath() const { return temporary_; }
    bool writeFailed(std::string* error) { return fail("cannot write", temporary_, error); }

private:
    bool fail(const std::string& what, const std::string& path, std::string* error);
    void discard();

    int fd_ = -1;
    std::string destination_;
    std::string temporary_;
};

}  // namespace dorvan::platform
