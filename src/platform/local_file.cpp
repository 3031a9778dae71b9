#include "platform/local_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_io_os.h"
#include "platform/paths.h"

namespace dorvan::platform {
namespace {

constexpr size_t usualNameLimit = 255;

std::string temporaryNameBeside(const std::string& destination, std::string_view unique, size_t nameLimit) {
    std::string name = fileNameOf(destination);
    std::string folder = destination.substr(0, destination.size() - name.size());
    return folder + partFileName(name, unique, nameLimit);
}

}  // namespace

std::string keptPartName(const std::string& destination, std::string_view key) {
    return temporaryNameBeside(destination, "resume-" + std::string(key), usualNameLimit);
}

std::optional<uint64_t> ownPartSize(const std::string& path) {
    int fd = os::openOwnFile(path);
    if (fd < 0) return std::nullopt;
    const int64_t size = os::sizeOf(fd);
    os::closeFile(fd);
    if (size < 0) return std::nullopt;
    return static_cast<uint64_t>(size);
}

FileReader::~FileReader() {
    if (fd_ >= 0) os::closeFile(fd_);
}

long FileReader::read(char* buffer, size_t size, std::string* error) {
    long n = os::readSome(fd_, buffer, size);
    if (n < 0) *error = path_ + ": " + std::strerror(errno);
    return n;
}

bool FileReader::skipTo(uint64_t offset, std::string* error) {
    if (os::seekTo(fd_, offset) == 0) return true;
    *error = path_ + ": " + std::strerror(errno);
    return false;
}

ReplacingFileWriter::~ReplacingFileWriter() { discard(); }

bool ReplacingFileWriter::open(const std::string& destination, std::string* error) {
    destination_ = destination;
    // The file system is asked for its name limit only when a name proves too long.
    size_t nameLimit = usualNameLimit;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryNameBeside(destination, uniquePartSuffix(), nameLimit);
        fd_ = os::openOutput(temporary_, OpenMode::createNew, Access::ownerOnly);
        if (fd_ < 0) {
            const int failure = errno;
            temporary_.clear();
            if (failure == ENAMETOOLONG && nameLimit == usualNameLimit) {
                nameLimit = os::nameLimitBeside(destination);
                if (nameLimit < usualNameLimit) continue;
            }
            errno = failure;
            if (failure != EEXIST) break;
        }
    }
    if (fd_ < 0) return fail("cannot create a file beside", destination, error);
    os::lockForWriting(fd_);  // a new name: no other writer has it
    return true;
}

bool ReplacingFileWriter::adoptPart(const std::string& destination, const std::string& part, uint64_t keep) {
    int fd = os::openOwnFile(part);
    if (fd < 0) return false;
    const int64_t size = os::sizeOf(fd);
    if (size < 0 || static_cast<uint64_t>(size) < keep || os::truncateTo(fd, keep) != 0 || os::seekTo(fd, keep) != 0) {
        os::closeFile(fd);
        return false;
    }
    destination_ = destination;
    temporary_ = part;
    fd_ = fd;
    return true;
}

std::string ReplacingFileWriter::keep() {
    if (fd_ >= 0) os::closeFile(fd_);
    fd_ = -1;
    return std::exchange(temporary_, std::string());
}

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
    os::givePermissionsFor(destination_, fd);
    if (os::closeFile(fd) != 0) return fail("cannot write", temporary_, error);
    if (!renameFile(temporary_, destination_)) return fail("cannot replace", destination_, error);
    temporary_.clear();
    return true;
}

}  // namespace dorvan::platform
