#include "zip/parallel_pack.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace dorvan {
namespace {

constexpr uint64_t leastBlockCost = 64 * 1024;  // so that many small members do not pile up

// One block, from its reading until the writer has written it.
struct Job {
    size_t member = 0;
    bool first = false;         // the member's first block: its header goes before it
    bool last = false;          // the member's last block: the member ends after it
    uint64_t expectedSize = 0;  // header facts, on the first block
    int64_t modified = 0;
    uint64_t cost = 0;  // counted against PackOptions::inFlightBytes
    bool done = false;
    bool failed = false;  // nothing is read after a failed job
    std::string error;
    ByteBuffer deflated;
    BlockSums sums;
};

class Packer {
public:
    Packer(ZipWriter& writer, const std::vector<PackItem>& items, const PackOptions& options)
        : writer_(writer), items_(items), options_(options) {}

    bool run(std::string* err) {
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < options_.threads; ++i) workers.emplace_back([this] { work(); });
        bool ok = writeAll(err);
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers) worker.join();
        return ok;
    }

private:
    // Worker: reads the next block when no other worker reads and the bound
    // allows, then deflates it.
    void work() {
        BlockDeflater deflater;
        std::string initError;
        const bool ready = deflater.init(&initError);
        ByteBuffer block, deflated;
        for (;;) {
            Job* job = nullptr;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(
                    lock, [&] { return stopping_ || allRead_ || (!reading_ && inFlight_ < options_.inFlightBytes); });
                if (stopping_ || allRead_) return;
                reading_ = true;
                job = &jobs_.emplace_back();  // a deque keeps its elements in place as it grows and shrinks
            }
            const bool read = readNext(*job, block);
            {
                std::lock_guard lock(mutex_);
                reading_ = false;
                job->cost = std::max<uint64_t>(block.size, leastBlockCost);
                inFlight_ += job->cost;
                allRead_ = !read || member_ == items_.size();
                job->done = !read;
                job->failed = !read;
            }
            changed_.notify_all();
            if (!read) continue;

            BlockSums sums;
            std::string error = initError;
            const bool ok = ready && deflater.deflate(block, job->last, deflated, &sums, &error);
            {
                std::lock_guard lock(mutex_);
                if (ok) std::swap(job->deflated, deflated);  // the worker's next block gets a new buffer
                job->sums = sums;
                job->done = true;
                job->failed = !ok;
                if (!ok) job->error = items_[job->member].path + ": " + error;
            }
            changed_.notify_all();
        }
    }

    // The reading turn: only the worker that set reading_ is here.
    bool readNext(Job& job, ByteBuffer& block) {
        job.member = member_;
        if (!source_) {
            const PackItem& item = items_[member_];
            source_ = std::make_unique<platform::FileReader>();
            if (!writer_.openSource(*source_, item.path, item.name, &job.error)) return false;
            reader_.emplace(*source_, writer_.blockBytes());
            job.first = true;
            job.expectedSize = reader_->expectedSize();
            job.modified = source_->modifiedUnixSeconds();
        }
        if (!reader_->next(block, &job.last, &job.error)) return false;
        if (job.last) {
            reader_.reset();
            source_.reset();
            ++member_;
        }
        return true;
    }

    // Calling thread: writes the blocks in reading order as they are done.
    bool writeAll(std::string* err) {
        BlockSums sums;
        for (;;) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return jobs_.empty() ? allRead_ && !reading_ : jobs_.front().done; });
            if (jobs_.empty()) return true;
            Job& job = jobs_.front();  // no worker touches a done job
            lock.unlock();
            if (job.failed) {
                *err = job.error;
                return false;
            }
            const PackItem& item = items_[job.member];
            if (job.first) {
                if (!writer_.beginMember(item.name, job.expectedSize, job.modified, err)) return false;
                sums = {};
            }
            if (!writer_.writeData(job.deflated.bytes(), err)) return false;
            sums.append(job.sums);
            if (job.last && !writer_.endMember(sums, item.path, err)) return false;
            lock.lock();
            inFlight_ -= job.cost;
            jobs_.pop_front();
            lock.unlock();
            changed_.notify_all();
        }
    }

    ZipWriter& writer_;
    const std::vector<PackItem>& items_;
    const PackOptions& options_;
    // mutex_ guards jobs_, inFlight_, reading_, allRead_ and stopping_;
    // changed_ is notified after any of them changes. A leaf lock (the lock
    // order: shell/program.cpp): files and the writer are used only without it.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;  // read and not yet written, in reading order
    uint64_t inFlight_ = 0;
    bool reading_ = false;  // a worker has the reading turn
    bool allRead_ = false;  // every member read, or a read failed
    bool stopping_ = false;
    // The reading turn's own state, used only by the worker that has it.
    size_t member_ = 0;
    std::unique_ptr<platform::FileReader> source_;
    std::optional<BlockReader> reader_;
};

}  // namespace

unsigned packingThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 2u); }

bool packMembers(ZipWriter& writer, const std::vector<PackItem>& items, const PackOptions& options, std::string* err) {
    if (options.threads <= 1 || items.empty()) {
        for (const PackItem& item : items) {
            if (!writer.addFile(item.path, item.name, err)) return false;
        }
        return true;
    }
    PackOptions bounded = options;
    bounded.inFlightBytes = std::max<size_t>(options.inFlightBytes, 1);
    return Packer(writer, items, bounded).run(err);
}

}  // namespace dorvan
