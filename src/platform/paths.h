#pragma once
// File-system facts and locations. Only this folder talks to the OS.
#include <cstdint>
#include <optional>
#include <string>

namespace dorvan::platform {

std::string programFolder();                  // folder of the running binary, ending with '/'
std::string programBaseName();                // file name of the running binary without extension
std::string dataFolder();                     // per-user data folder, ending with '/'; not created here
// With parents, each new folder made with `mode` (less the umask); true when
// the folder exists afterwards.
bool createFolders(const std::string& path, unsigned mode = 0777);

bool isAbsolutePath(const std::string& path);  // begins with '/'
bool pathExists(const std::string& path);
bool isFolder(const std::string& path);
bool isRegularFile(const std::string& path);  // exists and is not a folder
// Exists and is neither a plain file nor a folder: a FIFO, a device or a
// socket, which a read could block on or never finish.
bool isSpecialFile(const std::string& path);
std::optional<uint64_t> fileSize(const std::string& path);
bool removeFile(const std::string& path);
bool renameFile(const std::string& from, const std::string& to);  // replaces the target
// Reads a whole file; false with the reason alone (no path) when it cannot.
bool readWholeFile(const std::string& path, std::string& content, std::string* error);

}  // namespace dorvan::platform
