#pragma once
// Enumerating a local folder, in the order the file system returns entries.
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

}  // namespace dorvan::platform
