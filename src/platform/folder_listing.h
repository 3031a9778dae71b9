#pragma once
// Local folders: enumerating one in the order the file system returns its
// entries, making one, and telling where symbolic links lead.
#include <string>
#include <vector>

namespace dorvan::platform {

struct FolderEntry {
    std::string name;
    bool isFolder = false;   // a folder, or a symbolic link that leads to one
    bool isSymlink = false;  // the entry itself is a symbolic link
};

// The entries of `folder` without "." and "..". False with a reason when the
// folder cannot be read.
bool listFolder(const std::string& folder, std::vector<FolderEntry>& entries, std::string* error);

// Makes one folder (its parent must exist); false with the reason when it cannot.
bool makeFolder(const std::string& folder, std::string* error);

// Removes one empty folder; false with the reason when it cannot.
bool removeFolder(const std::string& folder, std::string* error);

// True when the entry at `path` is itself a symbolic link (on Windows also a
// junction); false when it is anything else or nothing.
bool isSymbolicLink(const std::string& path);
// The absolute path of an existing entry with every symbolic link on it
// resolved; false with the reason when there is none (a link that leads nowhere).
bool resolvedPath(const std::string& path, std::string& resolved, std::string* error);

}  // namespace dorvan::platform
