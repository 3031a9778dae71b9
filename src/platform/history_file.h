#pragma once
// The prompt's history kept across runs: one line per entry, oldest first,
// readable by the owner only, capped to the newest entries.
#include <deque>
#include <string>

namespace dorvan::platform {

class HistoryFile {
public:
    HistoryFile(std::string path, size_t cap) : path_(std::move(path)), cap_(cap) {}

    // Reads the entries kept so far; none when the file is missing or unreadable.
    const std::deque<std::string>& load();
    // Adds an entry and rewrites the file with mode 0600; false with a reason when it cannot.
    bool append(const std::string& line, std::string* error);

private:
    std::string path_;
    size_t cap_;
    std::deque<std::string> lines_;
};

}  // namespace dorvan::platform
