#pragma once
// What a mirror upload left on both sides, for servers that cannot set a
// file's time: the local file's size and time and the size and listed time
// the server showed after the upload. On the next run a file whose two sides
// still match its record is unchanged. One file per mirrored pair in the
// data folder; a missing or damaged one only costs a full compare.
#include <cstdint>
#include <map>
#include <string>

#include "commands/mirror_trees.h"

namespace dorvan {

struct MirrorStateEntry {
    uint64_t localSize = 0;
    int64_t localTime = 0;
    uint64_t remoteSize = 0;
    int64_t remoteTime = 0;
};

class MirrorState {
public:
    // `identity` names the pair: server, user, remote folder, local folder.
    explicit MirrorState(std::string identity);

    // Reads the pair's file; anything but a whole, well-formed file of this pair is no record.
    void load();
    // Writes a temporary file beside it, then renames it over the old one.
    bool save(std::string* error) const;

    bool matches(const std::string& path, const TreeFile& local, const TreeFile& remote) const;
    void remember(const std::string& path, const TreeFile& local, const TreeFile& remote);
    // Forgets every record that no longer matches both sides (or names a file one side lost).
    void keepMatching(const MirrorTree& local, const MirrorTree& remote);

private:
    std::string identity_;
    std::string path_;
    std::map<std::string, MirrorStateEntry> entries_;
};

}  // namespace dorvan
