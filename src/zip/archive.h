#pragma once
// Packing the files of an upload into one ZIP archive on the local disk.
#include <string>
#include <vector>

namespace dorvan {

// The local files (full paths) the next packing reads, in order.
std::vector<std::string>& uploadList();

// Resolves `compress` (an absolute path as is, anything else inside the data
// folder) and stores the result back, replaces any file there with an archive
// of uploadList() named relative to `local`. True only when a non-empty
// archive file exists afterwards.
bool makeArchive();

// Packs `files` into archivePath, one member per entry name (the later file
// wins). Reports a failure itself and removes the partial archive.
bool createArchive(const std::vector<std::string>& files, const std::string& base, const std::string& archivePath);

// The member name of `path`: a leading `base` removed (when base is
// non-empty), then the path made relative and tidy: empty and "." components
// dropped, ".." resolved and never climbing above the top, so that no member
// extracts outside the target folder.
std::string entryNameOf(const std::string& path, const std::string& base);

}  // namespace dorvan
