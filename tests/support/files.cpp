#include "support/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace dorvan::test {

std::vector<std::string> treeOf(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().string().substr(folder.size() + 1));
    std::sort(names.begin(), names.end());
    return names;
}
namespace fs = std::filesystem;

namespace {

void createParents(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    std::error_code ignored;
    if (!parent.empty()) fs::create_directories(parent, ignored);
}

}  // namespace

TempDir::TempDir(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp " + pattern + " failed: " + std::strerror(errno));
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

TempDataHome::TempDataHome() {
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        old_ = old;
        hadOld_ = true;
    }
    ::setenv("XDG_DATA_HOME", folder_.path().c_str(), 1);
    fs::create_directories(folder_.path() + "/Tolvane/Dorvan");
}

TempDataHome::~TempDataHome() {
    if (hadOld_)
        ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    createParents(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void createSparseFile(const std::string& path, uint64_t size) {
    writeFile(path, "");
    std::error_code error;
    fs::resize_file(path, size, error);
    if (error) throw std::runtime_error("cannot resize " + path + ": " + error.message());
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

void setModificationTime(const std::string& path, int64_t secondsSinceEpoch) {
    const timespec times[2] = {{static_cast<time_t>(secondsSinceEpoch), 0},
                               {static_cast<time_t>(secondsSinceEpoch), 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path + ": " + std::strerror(errno));
}

std::string logText(const std::string& dataHome) {
    std::string path = dataHome + "/Tolvane/Dorvan/dorvan-log.txt";
    return fileExists(path) ? readFile(path) : std::string();
}

std::string randomBytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator());
    return bytes;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    for (auto deadline = std::chrono::steady_clock::now() + timeout;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace dorvan::test
