#pragma once
// The temporary files that killed runs left beside their destinations
// (ReplacingFileWriter's names), removed before the next download of the
// same file: only names of that file's pattern, only this user's regular
// files, and only those no running writer holds (their process is gone and
// their lock is free). Each folder is read once, at its first download.
//
// Its own lock guards the names read; any thread of a batch may call it.
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace dorvan::platform {

class StalePartSweeper {
public:
    // Before a download into `destination`: its stale temporaries go, and
    // with `keptPartsBut` also the parts kept between runs for it, but that one.
    void sweep(const std::string& destination, const std::string* keptPartsBut = nullptr);

private:
    std::mutex lock_;
    std::map<std::string, std::vector<std::string>> candidates_;  // folder -> names of the pattern in it
};

}  // namespace dorvan::platform
