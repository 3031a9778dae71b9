#include "platform/local_file.h"

#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#include <cerrno>
#include <cstring>

#include "platform/file_io_os.h"
#include "platform/paths.h"
#include "platform/wide_text_win.h"

namespace dorvan::platform {
namespace {

struct _stat64 factsOf(int fd) {
    struct _stat64 st {};
    _fstat64(fd, &st);
    return st;
}

// The volume and file index that name one file, whatever path reaches it.
bool identityOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &info);
}

}  // namespace

bool localTextUsesCrLf() { return true; }

bool FileReader::open(const std::string& path, std::string* error) {
    path_ = path;
    if (isFolder(path)) {
        *error = path + ": " + std::strerror(EISDIR);
        return false;
    }
    fd_ = os::openInput(path);
    if (fd_ < 0) *error = path + ": " + std::strerror(errno);
    return fd_ >= 0;
}

bool FileReader::openPlainFile(const std::string& path, std::string* error) {
    if (!open(path, error)) return false;
    if (isRegular()) return true;
    _close(fd_);  // a console or another device
    fd_ = -1;
    *error = path + ": not a regular file";
    return false;
}

bool FileReader::isRegular() const { return (factsOf(fd_).st_mode & _S_IFMT) == _S_IFREG; }

uint64_t FileReader::size() const { return static_cast<uint64_t>(factsOf(fd_).st_size); }

int64_t FileReader::modifiedUnixSeconds() const { return static_cast<int64_t>(factsOf(fd_).st_mtime); }

bool FileReader::isSameFileAs(const std::string& path) const {
    HANDLE other = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION own, theirs;
    bool same = identityOf(reinterpret_cast<HANDLE>(_get_osfhandle(fd_)), own) && identityOf(other, theirs) &&
                own.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                own.nFileIndexHigh == theirs.nFileIndexHigh && own.nFileIndexLow == theirs.nFileIndexLow;
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
    return same;
}

}  // namespace dorvan::platform
