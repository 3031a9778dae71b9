#include "platform/local_file.h"

#include <cerrno>
#include <cstring>

#include "platform/file_io_os.h"
#include "platform/paths.h"

namespace dorvan::platform {

FileReader::~FileReader() {
    if (fd_ >= 0) os::closeFile(fd_);
}

long FileReader::read(char* buffer, size_t size, std::string* error) {
    long n = os::readSome(fd_, buffer, size);
    if (n < 0) *error = path_ + ": " + std::strerror(errno);
    return n;
}

ReplacingFileWriter::~ReplacingFileWriter() { discard(); }

bool ReplacingFileWriter::fail(const std::string& what, const std::string& path, std::string* error) {
    *error = what + " " + path + ": " + std::strerror(errno);
    discard();
    return false;
}

void ReplacingFileWriter::discard() {
    if (fd_ >= 0) os::closeFile(fd_);
    fd_ = -1;
    if (!temporary_.empty()) removeFile(temporary_);
    temporary_.clear();
}

bool ReplacingFileWriter::write(std::string_view data, std::string* error) {
    while (!data.empty()) {
        long n = os::writeSome(fd_, data.data(), data.size());
        if (n < 0) return fail("cannot write", temporary_, error);
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ReplacingFileWriter::commit(std::string* error) {
    if (fd_ < 0) return false;
    int fd = fd_;
    fd_ = -1;
    if (os::closeFile(fd) != 0) return fail("cannot write", temporary_, error);
    if (!renameFile(temporary_, destination_)) return fail("cannot replace", destination_, error);
    temporary_.clear();
    return true;
}

}  // namespace dorvan::platform
