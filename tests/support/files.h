#pragma once
// Temporary folders and whole-file helpers for tests. Failures throw
// std::runtime_error, which GoogleTest reports as a failed test.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dorvan::test {

// A fresh folder /tmp/<prefix>XXXXXX, removed with all its content on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "dorvan-test-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// The paths below `folder`, relative to it, sorted.
std::vector<std::string> treeOf(const std::string& folder);

// XDG_DATA_HOME of this process points at a fresh temporary folder while it
// lives (the data folder inside made), then is restored.
class TempDataHome {
public:
    TempDataHome();
    ~TempDataHome();
    TempDataHome(const TempDataHome&) = delete;
    TempDataHome& operator=(const TempDataHome&) = delete;

private:
    TempDir folder_{"dorvan-data-"};
    std::string old_;
    bool hadOld_ = false;
};

std::string readFile(const std::string& path);
// Creates missing parent folders; replaces an existing file.
void writeFile(const std::string& path, const std::string& content);
// A file of `size` bytes that takes no disk space (a hole), parents created.
void createSparseFile(const std::string& path, uint64_t size);
bool fileExists(const std::string& path);
// The same bytes for the same seed.
std::string randomBytes(size_t size, unsigned seed = 42);
// Sets the modification (and access) time, in seconds since 1970 UTC.
void setModificationTime(const std::string& path, int64_t secondsSinceEpoch);

// The program's log under an XDG_DATA_HOME folder; empty when there is none yet.
std::string logText(const std::string& dataHome);

// Checks `condition` every few milliseconds until it holds (true) or the
// timeout passes (false): a wait on an event the test cannot be told of.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace dorvan::test
