#pragma once
// Local folders: enumerating one in the order the file system returns its
// entries, and making one.
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

}  // namespace dorvan::platform
