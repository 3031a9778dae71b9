#pragma once
// Local files for transfers: a reader, and a writer that fills a temporary
// file beside its destination and puts it in place only on commit, so a
// failed download never touches an existing file.
#include <cstdio>
#include <string>
#include <string_view>

namespace dorvan::platform {

// Opens `path` for writing, readable and writable by its owner only (an
// existing file is narrowed to that too): emptied, or with `append` written
// at its end. Null on failure, with errno set.
std::FILE* openPrivateFile(const std::string& path, bool append);

class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool open(const std::string& path);  // refuses anything but a plain file
    long read(char* buffer, size_t size);  // 0 at the end, -1 on error
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

class ReplacingFileWriter {
public:
    ReplacingFileWriter() = default;
    ~ReplacingFileWriter();  // removes the temporary file unless committed
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    // Creates the temporary file in the destination's folder; an existing
    // destination lends it its permissions.
    bool open(const std::string& destination);
    bool write(std::string_view data);
    bool commit();  // closes and renames the temporary file over the destination
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what, const std::string& path);
    void discard();

    int fd_ = -1;
    std::string destination_;
    std::string temporary_;
    std::string error_;
};

}  // namespace dorvan::platform
