#pragma once
// Packing the files of an upload into one ZIP archive on the local disk.
#include <string>
#include <vector>

namespace dorvan {

// Where an upload's archive goes: `name` as is when absolute, else inside dataFolder.
std::string archivePathFor(const std::string& name, const std::string& dataFolder);

// Replaces any file at archivePath with an archive of `files` named relative
// to `base`. True only when a non-empty archive file exists afterwards.
bool packUpload(const std::vector<std::string>& files, const std::string& base, const std::string& archivePath,
                std::string* error);

// Packs `files` into archivePath, one member per entry name (the later file
// wins). On failure *error reads "createArchive <path> failed: <reason>" and
// no partial archive is left.
bool createArchive(const std::vector<std::string>& files, const std::string& base, const std::string& archivePath,
                   std::string* error);

// The member name of `path`: a leading `base` removed (when base is
// non-empty), then the path made relative and tidy: empty and "." components
// dropped, ".." resolved and never climbing above the top, so that no member
// extracts outside the target folder.
std::string entryNameOf(const std::string& path, const std::string& base);

}  // namespace dorvan
