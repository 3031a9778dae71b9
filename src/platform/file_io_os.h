#pragma once
// The file calls under output_file.cpp, local_file.cpp, paths.cpp and
// part_file_name.cpp, defined once per OS (file_io_posix.cpp,
// file_io_win.cpp). Interrupted calls are retried; failures return -1 with
// the reason in errno.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/output_file.h"

namespace dorvan::platform::os {

int openOutput(const std::string& path, OpenMode mode, Access access);
int openInput(const std::string& path);            // for reading
long readSome(int fd, char* buffer, size_t size);  // 0 at the end of the file
long writeSome(int fd, const char* data, size_t size);
// Writes at `offset`; the next writeSome() still goes to the end.
long writeSomeAt(int fd, const char* data, size_t size, uint64_t offset);
// Moves the read and write position to `offset`: 0, or -1 on failure.
int seekTo(int fd, uint64_t offset);
int closeFile(int fd);

unsigned processId();  // for names no other process uses

// The longest file name the file system of `path`'s folder takes (bytes of UTF-8).
size_t nameLimitBeside(const std::string& path);
// Gives `fd` the permissions the file at `path` has, or, with none there,
// those of a new file (as the umask leaves them).
void givePermissionsFor(const std::string& path, int fd);
// Takes the writer's advisory lock on `fd`, kept until it closes: false when
// another open file holds it (a running writer).
bool lockForWriting(int fd);
// Opens the file at `path` for reading and writing only when it is a regular
// file of this user's with no other name, reached without a symbolic link and
// locked by no other writer (the lock is then this file's): -1 otherwise.
int openOwnFile(const std::string& path);
int64_t sizeOf(int fd);                  // -1 on failure
int truncateTo(int fd, uint64_t size);   // 0, or -1 on failure
bool processMayRun(unsigned processId);  // false only when no such process runs

}  // namespace dorvan::platform::os
