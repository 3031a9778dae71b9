#include "commands/transfer_display.h"

#include <algorithm>

#include "commands/progress_text.h"
#include "ftp/ftp_lib.h"
#include "platform/console.h"
#include "settings/settings.h"

namespace dorvan {
namespace {

constexpr auto firstDraw = std::chrono::milliseconds(500);
constexpr auto redraw = std::chrono::milliseconds(100);
constexpr auto rateWindow = std::chrono::seconds(3);  // the rate shown is the rate of this much time

}  // namespace

TransferDisplay::TransferDisplay() : TransferDisplay(0, unknownSize) {}

TransferDisplay::TransferDisplay(size_t files, uint64_t totalBytes)
    : count_(files), cap_(uint64_t{settings().ratelimit} * 1024), batchTotal_(totalBytes) {
    samples_.push_back({started_, 0});
    // Piped or redirected output gets nothing at all, not even a thread.
    if (platform::stdoutIsTerminal()) drawer_ = std::thread([this] { run(); });
}

TransferDisplay::~TransferDisplay() { end(); }

void TransferDisplay::end() {
    if (!drawer_.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    drawer_.join();
    platform::consoleStatus("");
}

void TransferDisplay::leaveOut(uint64_t size) {
    if (size == unknownSize) return;
    uint64_t total = batchTotal_.load();
    while (total != unknownSize && !batchTotal_.compare_exchange_weak(total, total - std::min(total, size))) {
    }
}

void TransferDisplay::run() {
    std::string shown;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            if (wake_.wait_for(guard, redraw, [this] { return stopping_; })) return;
        }
        Clock::time_point now = Clock::now();
        if (now - started_ < firstDraw) continue;
        std::string text = line(now);
        if (text.empty() || text == shown) continue;
        platform::consoleStatus(text);
        shown = std::move(text);
    }
}

std::string TransferDisplay::line(Clock::time_point now) {
    ProgressFacts facts;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!active_.empty()) {
            const TrackedTransfer& file = *active_.back();
            facts.name = file.name_;
            facts.done = file.done_.load();
            facts.total = file.total_.load();
            facts.position = file.position_;
        } else if (!lastName_.empty()) {
            facts.name = lastName_;
            facts.done = lastDone_;
            facts.total = lastTotal_;
            facts.position = lastPosition_;
        } else {
            return {};  // nothing started yet
        }
    }
    facts.count = count_;
    facts.batchDone = batchDone_.load();
    facts.batchTotal = batchTotal_.load();
    facts.rate = rate(now, facts.batchDone);
    facts.cap = cap_;
    return progressLine(facts, platform::consoleColumns() - 1);
}

double TransferDisplay::rate(Clock::time_point now, uint64_t done) {
    while (samples_.size() > 1 && now - samples_[1].at >= rateWindow) samples_.pop_front();
    const Sample& oldest = samples_.front();
    double seconds = std::chrono::duration<double>(now - oldest.at).count();
    double result = seconds > 0 ? static_cast<double>(done - oldest.done) / seconds : 0;
    samples_.push_back({now, done});
    return result;
}

void TransferDisplay::add(TrackedTransfer* file) {
    std::lock_guard<std::mutex> guard(lock_);
    active_.push_back(file);
}

void TransferDisplay::remove(TrackedTransfer* file) {
    std::lock_guard<std::mutex> guard(lock_);
    std::erase(active_, file);
    // The latest file stays on the line until another starts.
    if (active_.empty()) {
        lastName_ = file->name_;
        lastDone_ = file->done_.load();
        lastTotal_ = file->total_.load();
        lastPosition_ = file->position_;
    }
}

TrackedTransfer::TrackedTransfer(TransferDisplay& display, FtpLib& session, std::string name, uint64_t size,
                                 size_t position)
    : display_(display),
      session_(session),
      name_(std::move(name)),
      givenSize_(size),
      position_(position),
      total_(size) {
    display_.add(this);
    session_.setProgress(this);
}

TrackedTransfer::~TrackedTransfer() {
    session_.setProgress(nullptr);
    display_.remove(this);
    // A file that ended short leaves its missing bytes out of the batch.
    uint64_t done = done_.load();
    if (givenSize_ != unknownSize && done < givenSize_) display_.leaveOut(givenSize_ - done);
}

void TrackedTransfer::dataStarted(uint64_t expected) {
    // Tried again: what the last try moved is not counted twice.
    display_.batchDone_.fetch_sub(done_.exchange(0), std::memory_order_relaxed);
    if (givenSize_ == unknownSize) total_ = expected;
}

void TrackedTransfer::dataMoved(uint64_t bytes) {
    done_.fetch_add(bytes, std::memory_order_relaxed);
    display_.batchDone_.fetch_add(bytes, std::memory_order_relaxed);
}

}  // namespace dorvan
