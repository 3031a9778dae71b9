#pragma once
// The journal: batch commands append one JSON object per action to the file
// the journal setting names (JSON Lines), each written whole with one write,
// so that the record of an unattended job survives whatever ends it. The
// file is created readable by its owner only. Any thread may record.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace dorvan {

namespace platform {
class OutputFile;
}

struct JournalRecord {
    std::string_view action;  // download, upload, delete, mkdir, rmdir or skip
    std::string reason{};     // why: new, size, time, vanished; a skip's cause
    std::string remotePath{};
    std::string localPath{};
    uint64_t bytes = 0;
    double seconds = 0;
    bool ok = true;
    std::string reply{};     // the server's reply (or the local error) on failure
    int retries = 0;         // tries after the first
    std::string checksum{};  // the algorithm that proved the file, such as "SHA-256"; empty when none did
    std::string digest{};    // the file's digest by it, in lower case hexadecimal
};

// Seconds since it was made, for a record.
class JournalClock {
public:
    JournalClock() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }

private:
    std::chrono::steady_clock::time_point start_;
};

class Journal {
public:
    Journal();
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Opens the journal setting's file for `command` (nothing to do when the
    // setting is empty). False after reporting "{command} failure: journal ...".
    bool open(std::string_view command);
    bool isOpen() const { return file_ != nullptr; }
    // A record of an action; a journal that cannot be written any more is
    // reported once, and the command goes on.
    void record(const JournalRecord& record);

private:
    std::string command_;
    std::mutex lock_;  // a leaf lock over the file and failed_
    std::unique_ptr<platform::OutputFile> file_;
    bool failed_ = false;
};

}  // namespace dorvan
