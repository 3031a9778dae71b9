#include "platform/output_file.h"

#include <cerrno>
#include <cstring>

#include "platform/file_io_os.h"

namespace dorvan::platform {

OutputFile::~OutputFile() {
    if (fd_ >= 0) os::closeFile(fd_);
}

bool OutputFile::fail(std::string* error) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
}

bool OutputFile::open(const std::string& path, OpenMode mode, std::string* error, Access access) {
    if (fd_ >= 0) os::closeFile(fd_);
    path_ = path;
    fd_ = os::openOutput(path, mode, access);
    return fd_ >= 0 || fail(error);
}

bool OutputFile::write(std::string_view data, std::string* error) {
    while (!data.empty()) {
        long n = os::writeSome(fd_, data.data(), data.size());
        if (n < 0) return fail(error);
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool OutputFile::writeAt(uint64_t offset, std::string_view data, std::string* error) {
    while (!data.empty()) {
        long n = os::writeSomeAt(fd_, data.data(), data.size(), offset);
        if (n < 0) return fail(error);
        data.remove_prefix(static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool OutputFile::close(std::string* error) {
    int fd = fd_;
    fd_ = -1;
    return os::closeFile(fd) == 0 || fail(error);
}

}  // namespace dorvan::platform
