#pragma once
// A local file written through one descriptor: replaced, appended to, or
// created only where none exists. Failures read "<path>: <reason>".
#include <cstdint>
#include <string>
#include <string_view>

namespace dorvan::platform {

enum class OpenMode {
    replace,    // created or truncated
    append,     // created, or written at its end
    createNew,  // fails when the file exists
};

enum class Access {
    usual,      // a new file as the umask allows
    ownerOnly,  // 0600, an existing file narrowed to it too: for files that may hold private data
};

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // closes a file still open, without reporting
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const std::string& path, OpenMode mode, std::string* error, Access access = Access::usual);
    bool isOpen() const { return fd_ >= 0; }
    bool write(std::string_view data, std::string* error);
    // Overwrites bytes already written (not in append mode); the next write
    // still goes to the end.
    bool writeAt(uint64_t offset, std::string_view data, std::string* error);
    bool close(std::string* error);

private:
    bool fail(std::string* error);

    int fd_ = -1;
    std::string path_;
};

// Creates or truncates `path` and writes `content` into it.
inline bool writeWholeFile(const std::string& path, std::string_view content, std::string* error) {
    OutputFile file;
    return file.open(path, OpenMode::replace, error) && file.write(content, error) && file.close(error);
}

}  // namespace dorvan::platform
