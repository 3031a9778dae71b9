#include "zip/archive.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "platform/paths.h"
#include "zip/parallel_pack.h"

namespace dorvan {
namespace {

// One member per entry name in first-appearance order; a later file with the
// same name replaces the earlier one.
bool planMembers(const std::vector<std::string>& files, const std::string& base, std::vector<PackItem>& members,
                 std::string* err) {
    std::unordered_map<std::string, size_t> indexByName;
    for (const std::string& path : files) {
        if (platform::isSpecialFile(path)) {
            *err = path + ": not a regular file";
            return false;
        }
        std::string name = entryNameOf(path, base);
        if (name.empty()) {
            *err = path + ": no entry name left after removing the base folder";
            return false;
        }
        if (name.find('\\') != std::string::npos) {  // extractors take it for a separator
            *err = path + ": \"\\\" in the entry name";
            return false;
        }
        auto [found, added] = indexByName.try_emplace(name, members.size());
        if (added) {
            members.push_back({.path = path, .name = std::move(name)});
        } else {
            members[found->second].path = path;
        }
    }
    return true;
}

bool pack(const std::vector<PackItem>& members, const std::string& archivePath, std::string* err) {
    ZipWriter writer;
    if (!writer.open(archivePath, err)) return false;
    if (!packMembers(writer, members, PackOptions{.threads = packingThreads()}, err) || !writer.finish(err)) {
        platform::removeFile(archivePath);
        return false;
    }
    return true;
}

}  // namespace

std::string entryNameOf(const std::string& path, const std::string& base) {
    const bool underBase = !base.empty() && path.compare(0, base.size(), base) == 0;
    const std::string stripped = platform::withSlashSeparators(underBase ? path.substr(base.size()) : path);

    std::vector<std::string_view> parts;
    for (size_t start = 0; start <= stripped.size();) {
        size_t end = std::min(stripped.find('/', start), stripped.size());
        std::string_view part(stripped.data() + start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string name;
    for (std::string_view part : parts) {
        if (!name.empty()) name += '/';
        name += part;
    }
    return name;
}

bool createArchive(const std::vector<std::string>& files, const std::string& base, const std::string& archivePath,
                   std::string* error) {
    std::vector<PackItem> members;
    std::string reason;
    if (planMembers(files, base, members, &reason) && pack(members, archivePath, &reason)) return true;
    *error = "createArchive " + archivePath + " failed: " + reason;
    return false;
}

std::string archivePathFor(const std::string& name, const std::string& dataFolder) {
    return platform::isAbsolutePath(name) ? name : dataFolder + name;
}

bool packUpload(const std::vector<std::string>& files, const std::string& base, const std::string& archivePath,
                std::string* error) {
    if (platform::pathExists(archivePath)) platform::removeFile(archivePath);
    if (!createArchive(files, base, archivePath, error)) return false;
    auto size = platform::fileSize(archivePath);
    if (platform::isRegularFile(archivePath) && size && *size > 0) return true;
    *error = "createArchive " + archivePath + " failed: the archive is empty";
    return false;
}

}  // namespace dorvan
