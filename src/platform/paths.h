#pragma once
// File-system facts and locations. Only this folder talks to the OS.
#include <cstdint>
#include <optional>
#include <string>

namespace dorvan::platform {

std::string programFolder();    // folder of the running binary, ending with the separator
std::string programBaseName();  // file name of the running binary without extension
std::string dataFolder();       // per-user data folder, ending with the separator; not created here
// With parents, each new folder made with `mode` (less the umask); true when
// the folder exists afterwards.
bool createFolders(const std::string& path, unsigned mode = 0777);

// Local paths as the OS spells them: POSIX separates with '/' and calls a
// path absolute when it begins with '/'; Windows separates with '\' (taking
// '/' too) and calls a path absolute when its second character is ':'.
bool isAbsolutePath(const std::string& path);
char localSeparator();  // also ends the folder texts above
// Every '/' as the OS's separator; POSIX keeps the path as typed.
std::string withLocalSeparators(std::string path);
// Every separator of the OS as '/', for remote paths and archive entries.
std::string withSlashSeparators(std::string path);
// The text after the last separator.
std::string fileNameOf(const std::string& path);
// The IconFile value of an internet shortcut: Windows' own url.dll; empty elsewhere.
std::string shortcutIconFile();
// Where the program keeps the files it writes for the user (the internet
// shortcuts, the Markdown help): Windows beside the program; POSIX systems,
// whose program folder belongs to the system, in the data folder.
std::string ownFilesFolder();
// The file a relative command-file name stands for. POSIX: in the current
// folder, else the one beside the program, else (for the message that it is
// missing) the current folder's; Windows: the one beside the program.
std::string commandFilePath(const std::string& name);
// The address of the installed manual page `name`: "man:<name>(1)" on POSIX;
// empty on Windows, which has none.
std::string manualPageAddress(const std::string& name);
bool pathExists(const std::string& path);
bool isFolder(const std::string& path);
bool isRegularFile(const std::string& path);  // exists and is not a folder
// Exists and is neither a plain file nor a folder: a FIFO, a device or a
// socket, which a read could block on or never finish.
bool isSpecialFile(const std::string& path);
std::optional<uint64_t> fileSize(const std::string& path);
bool removeFile(const std::string& path);
bool renameFile(const std::string& from, const std::string& to);  // replaces the target; the reason in errno
// Renames only when nothing (not even a symbolic link) has the name `to`.
bool renameWithoutReplacing(const std::string& from, const std::string& to);
// Reads a whole file; false with the reason alone (no path) when it cannot.
bool readWholeFile(const std::string& path, std::string& content, std::string* error);

}  // namespace dorvan::platform
