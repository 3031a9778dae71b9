#include "zip/parallel_pack.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace dorvan {
namespace {

// One member in flight, in ring slot index % window.
struct Slot {
    bool opened = false;  // header facts known
    bool done = false;    // deflated to the end
    bool failed = false;
    std::string error;
    uint64_t expectedSize = 0;
    int64_t modified = 0;
    Deflater::Result result;
    std::deque<std::string> chunks;
    size_t bytes = 0;  // compressed bytes waiting in chunks
};

class Packer {
public:
    Packer(ZipWriter& writer, const std::vector<PackItem>& items, const PackOptions& options)
        : writer_(writer), items_(items), options_(options), slots_(options.window) {}

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
    Slot& slot(size_t index) { return slots_[index % slots_.size()]; }

    // Worker: takes the next member whenever the window allows.
    void work() {
        Deflater deflater;
        for (;;) {
            size_t index;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] {
                    return stopping_ || next_ >= items_.size() || next_ < written_ + slots_.size();
                });
                if (stopping_ || next_ >= items_.size()) return;
                index = next_++;
                slot(index) = Slot{};
            }
            deflateOne(deflater, index);
        }
    }

    void deflateOne(Deflater& deflater, size_t index) {
        const PackItem& item = items_[index];
        std::string error;
        platform::FileReader source;
        bool ok = deflater.init(&error) && writer_.openSource(source, item.path, item.name, &error);
        if (ok) {
            std::lock_guard lock(mutex_);
            Slot& s = slot(index);
            s.opened = true;
            s.expectedSize = source.isRegular() ? source.size() : 0;  // pipes and devices tell nothing up front
            s.modified = source.modifiedUnixSeconds();
        }
        changed_.notify_all();
        Deflater::Result result;
        auto sink = [&](std::string_view bytes, std::string* e) {
            std::unique_lock lock(mutex_);
            Slot& s = slot(index);
            changed_.wait(lock, [&] { return stopping_ || s.bytes < options_.memberBytes; });
            if (stopping_) {
                *e = "packing stopped";
                return false;
            }
            s.chunks.emplace_back(bytes);
            s.bytes += bytes.size();
            lock.unlock();
            changed_.notify_all();
            return true;
        };
        ok = ok && deflater.run(source, item.path, sink, &result, &error);
        {
            std::lock_guard lock(mutex_);
            Slot& s = slot(index);
            s.done = true;
            s.failed = !ok;
            s.error = std::move(error);
            s.result = result;
        }
        changed_.notify_all();
    }

    // Calling thread: writes member after member as their bytes arrive.
    bool writeAll(std::string* err) {
        for (size_t index = 0; index < items_.size(); ++index) {
            std::unique_lock lock(mutex_);
            Slot& s = slot(index);
            changed_.wait(lock, [&] { return next_ > index && (s.opened || s.done); });
            if (!s.opened) return fail(s, err);
            uint64_t expectedSize = s.expectedSize;
            int64_t modified = s.modified;
            lock.unlock();
            if (!writer_.beginMember(items_[index].name, expectedSize, modified, err)) return false;
            for (;;) {
                lock.lock();
                changed_.wait(lock, [&] { return !s.chunks.empty() || s.done; });
                if (s.chunks.empty()) break;
                std::string chunk = std::move(s.chunks.front());
                s.chunks.pop_front();
                s.bytes -= chunk.size();
                lock.unlock();
                changed_.notify_all();
                if (!writer_.writeData(chunk, err)) return false;
            }
            if (s.failed) return fail(s, err);
            Deflater::Result result = s.result;
            lock.unlock();
            if (!writer_.endMember(result, items_[index].path, err)) return false;
            lock.lock();
            ++written_;
            lock.unlock();
            changed_.notify_all();
        }
        return true;
    }

    static bool fail(Slot& s, std::string* err) {
        *err = s.error;
        return false;
    }

    ZipWriter& writer_;
    const std::vector<PackItem>& items_;
    const PackOptions& options_;
    // mutex_ guards slots_, next_, written_ and stopping_; changed_ is
    // notified after any of them changes. A leaf lock (the lock order:
    // shell/program.cpp): files and the writer are used only without it.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    size_t next_ = 0;     // members handed to workers
    size_t written_ = 0;  // members complete in the archive
    bool stopping_ = false;
};

}  // namespace

unsigned packingThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 2u); }

bool packMembers(ZipWriter& writer, const std::vector<PackItem>& items, const PackOptions& options,
                 std::string* err) {
    if (options.threads <= 1 || items.size() <= 1) {
        for (const PackItem& item : items) {
            if (!writer.addFile(item.path, item.name, err)) return false;
        }
        return true;
    }
    PackOptions bounded = options;
    bounded.window = std::max<size_t>(options.window, 1);
    bounded.memberBytes = std::max<size_t>(options.memberBytes, 1);
    return Packer(writer, items, bounded).run(err);
}

}  // namespace dorvan
