#include "platform/stale_parts.h"

#include <cstdlib>

#include "platform/file_io_os.h"
#include "platform/folder_listing.h"
#include "platform/local_file.h"
#include "platform/paths.h"
#include "text/ascii.h"

namespace dorvan::platform {
namespace {

constexpr std::string_view partEnd = ".part";
constexpr std::string_view keptStart = "resume-";

// The unique part of a temporary name: what lies between its last two dots.
std::string_view uniqueOf(std::string_view name) {
    if (name.size() < 2 + partEnd.size() || name[0] != '.' || !name.ends_with(partEnd)) return {};
    name.remove_suffix(partEnd.size());
    const size_t dot = name.rfind('.');
    return dot == 0 || dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

// "<process>-<counter>-<clock>" of a writer's temporary file: its process.
bool writerProcess(std::string_view unique, unsigned& process) {
    const size_t first = unique.find('-');
    const size_t second = unique.find('-', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos ||
        unique.find('-', second + 1) != std::string_view::npos)
        return false;
    if (!text::isHexText(unique.substr(0, first)) || !text::isHexText(unique.substr(first + 1, second - first - 1)) ||
        !text::isHexText(unique.substr(second + 1)) || first > 8)
        return false;
    process = static_cast<unsigned>(std::strtoul(std::string(unique.substr(0, first)).c_str(), nullptr, 16));
    return true;
}

bool looksLikePart(std::string_view name) {
    std::string_view unique = uniqueOf(name);
    unsigned process = 0;
    return writerProcess(unique, process) ||
           (unique.starts_with(keptStart) && text::isHexText(unique.substr(keptStart.size())));
}

// Removes the file when no writer holds it: the lock taken here stays until the name is gone.
void removeUnheld(const std::string& path) {
    int fd = os::openOwnFile(path);
    if (fd < 0) return;
    removeFile(path);
    os::closeFile(fd);
}

}  // namespace

void StalePartSweeper::sweep(const std::string& destination, const std::string* keptPartsBut) {
    const std::string name = fileNameOf(destination);
    const std::string folder = destination.substr(0, destination.size() - name.size());
    std::lock_guard<std::mutex> hold(lock_);
    auto [found, added] = candidates_.try_emplace(folder);
    if (added) {
        std::vector<FolderEntry> entries;
        std::string error;
        if (listFolder(folder.empty() ? "." : folder, entries, &error))
            for (const FolderEntry& entry : entries)
                if (!entry.isFolder && looksLikePart(entry.name)) found->second.push_back(entry.name);
    }
    if (found->second.empty()) return;
    const size_t nameLimit = os::nameLimitBeside(destination);
    std::erase_if(found->second, [&](const std::string& candidate) {
        const std::string_view unique = uniqueOf(candidate);
        if (partFileName(name, unique, nameLimit) != candidate && partFileName(name, unique, 255) != candidate)
            return false;
        const std::string path = folder + candidate;
        unsigned process = 0;
        if (writerProcess(unique, process)) {
            if (os::processMayRun(process)) return false;
        } else if (!keptPartsBut || path == *keptPartsBut) {
            return false;
        }
        removeUnheld(path);
        return true;
    });
}

}  // namespace dorvan::platform
