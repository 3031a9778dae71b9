#include "commands/mirror_state.h"

#include "platform/digest.h"
#include "platform/output_file.h"
#include "platform/paths.h"

namespace dorvan {
namespace {

constexpr std::string_view header = "dorvan mirror state 1\t";

// The identity on one line, whatever its names hold.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

bool readNumber(const std::string& text, size_t& at, auto& value) {
    const size_t end = text.find('\t', at);
    if (end == std::string::npos || end == at) return false;
    try {
        size_t used = 0;
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(value)>, uint64_t>)
            value = std::stoull(text.substr(at, end - at), &used);
        else
            value = std::stoll(text.substr(at, end - at), &used);
        if (used != end - at) return false;
    } catch (const std::exception&) {
        return false;
    }
    at = end + 1;
    return true;
}

}  // namespace

MirrorState::MirrorState(std::string identity)
    : identity_(oneLine(std::move(identity))),
      path_(platform::dataFolder() + "mirror-" + platform::nameDigest(identity_) + ".state") {}

void MirrorState::load() {
    entries_.clear();
    std::string content, error;
    if (!platform::readWholeFile(path_, content, &error)) return;
    const std::string first = std::string(header) + identity_ + "\n";
    if (!content.starts_with(first) || !content.ends_with("\n")) return;
    std::map<std::string, MirrorStateEntry> read;
    for (size_t at = first.size(); at < content.size();) {
        const size_t end = content.find('\n', at);
        const std::string line = content.substr(at, end - at);
        at = end + 1;
        MirrorStateEntry entry;
        size_t k = 0;
        if (!readNumber(line, k, entry.localSize) || !readNumber(line, k, entry.localTime) ||
            !readNumber(line, k, entry.remoteSize) || !readNumber(line, k, entry.remoteTime) || k >= line.size())
            return;  // damaged: no record at all
        read[line.substr(k)] = entry;
    }
    entries_ = std::move(read);
}

bool MirrorState::save(std::string* error) const {
    if (!platform::createFolders(platform::dataFolder())) {
        *error = platform::dataFolder() + ": cannot be made";
        return false;
    }
    std::string content = std::string(header) + identity_ + "\n";
    for (const auto& [name, entry] : entries_) {
        if (name.find('\n') != std::string::npos) continue;
        content += std::to_string(entry.localSize) + "\t" + std::to_string(entry.localTime) + "\t" +
                   std::to_string(entry.remoteSize) + "\t" + std::to_string(entry.remoteTime) + "\t" + name + "\n";
    }
    const std::string temporary = path_ + ".new";
    platform::OutputFile file;
    if (!file.open(temporary, platform::OpenMode::replace, error, platform::Access::ownerOnly) ||
        !file.write(content, error) || !file.close(error))
        return false;
    if (platform::renameFile(temporary, path_)) return true;
    *error = path_ + ": not replaced";
    platform::removeFile(temporary);
    return false;
}

bool MirrorState::matches(const std::string& path, const TreeFile& local, const TreeFile& remote) const {
    const auto found = entries_.find(path);
    if (found == entries_.end()) return false;
    const MirrorStateEntry& entry = found->second;
    return entry.localSize == local.size && entry.localTime == local.time && entry.remoteSize == remote.size &&
           entry.remoteTime == remote.time;
}

void MirrorState::keepMatching(const MirrorTree& local, const MirrorTree& remote) {
    std::erase_if(entries_, [&](const auto& record) {
        const auto localFile = local.files.find(record.first);
        const auto remoteFile = remote.files.find(record.first);
        return localFile == local.files.end() || remoteFile == remote.files.end() ||
               !matches(record.first, localFile->second, remoteFile->second);
    });
}

void MirrorState::remember(const std::string& path, const TreeFile& local, const TreeFile& remote) {
    entries_[path] = {local.size, local.time, remote.size, remote.time};
}

}  // namespace dorvan
