#pragma once
// The live status line of one command's transfers (get, put, list, nlst, a
// batch of mget or mput): shown only when standard output is a terminal,
// redrawn at most ten times a second, first after half a second, and gone
// when the display ends. It never reaches the log.
//
// Thread-safe: the files of a batch may move on several sessions and threads
// at once, each through its own TrackedTransfer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftp/ftp_file_info.h"
#include "ftp/transfer_progress.h"

namespace dorvan {

class FtpLib;
class TrackedTransfer;

class TransferDisplay {
public:
    TransferDisplay();  // one transfer
    // A batch of `files` files holding `totalBytes` together (unknownSize when
    // a size is unknown). `files` 0 is one transfer.
    TransferDisplay(size_t files, uint64_t totalBytes);
    ~TransferDisplay();  // ends it
    // Takes the line away for good; nothing is drawn after it returns.
    void end();
    TransferDisplay(const TransferDisplay&) = delete;
    TransferDisplay& operator=(const TransferDisplay&) = delete;

    // A file of the batch that will not be transferred (skipped, refused):
    // its size leaves the batch's total.
    void leaveOut(uint64_t size);

private:
    friend class TrackedTransfer;
    using Clock = std::chrono::steady_clock;
    struct Sample {
        Clock::time_point at;
        uint64_t done;
    };

    void run();
    std::string line(Clock::time_point now);
    double rate(Clock::time_point now, uint64_t done);
    void add(TrackedTransfer* file);
    void remove(TrackedTransfer* file);

    const size_t count_;
    const uint64_t cap_;  // the ratelimit setting in bytes a second, 0 for none
    std::atomic<uint64_t> batchTotal_;
    std::atomic<uint64_t> batchDone_{0};
    const Clock::time_point started_ = Clock::now();

    // Guards what follows. A leaf lock (the lock order: shell/program.cpp): the
    // console's is taken only after it is released.
    std::mutex lock_;
    std::vector<TrackedTransfer*> active_;  // in the order they started
    // The last file to finish, shown while none is active.
    std::string lastName_;
    uint64_t lastDone_ = 0, lastTotal_ = unknownSize;
    size_t lastPosition_ = 0;
    bool stopping_ = false;
    std::condition_variable wake_;

    std::deque<Sample> samples_;  // of the drawing thread only
    std::thread drawer_;
};

// One file's transfer on one session: while it lives, the session reports
// its data to the display. Create it on the thread that then runs the
// transfer; destroy it when the transfer ended, successful or not.
class TrackedTransfer : public TransferProgress {
public:
    // `size` is unknownSize when the server's announcement must tell it;
    // `position` counts from 1 in a batch.
    TrackedTransfer(TransferDisplay& display, FtpLib& session, std::string name, uint64_t size, size_t position = 0);
    ~TrackedTransfer() override;
    TrackedTransfer(const TrackedTransfer&) = delete;
    TrackedTransfer& operator=(const TrackedTransfer&) = delete;

    void dataStarted(uint64_t expected) override;
    void dataMoved(uint64_t bytes) override;

private:
    friend class TransferDisplay;
    TransferDisplay& display_;
    FtpLib& session_;
    const std::string name_;
    const uint64_t givenSize_;
    const size_t position_;
    std::atomic<uint64_t> total_;
    std::atomic<uint64_t> done_{0};
};

}  // namespace dorvan
