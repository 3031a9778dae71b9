#pragma once
// One cap on the speed of file data, shared by every session of a command
// and by both directions: a token bucket holding at most one second's worth,
// full at the start. Each mover counts what it moved and then waits as long
// as the bucket is in debt, so the total stays under the cap whatever the
// number of sessions.
//
// Thread-safe: `lock_` guards the bucket.
#include <chrono>
#include <cstdint>
#include <mutex>

namespace dorvan {

class RateLimit {
public:
    explicit RateLimit(uint64_t bytesPerSecond);
    RateLimit(const RateLimit&) = delete;
    RateLimit& operator=(const RateLimit&) = delete;

    // Counts `bytes` moved: how long the mover must wait before moving more.
    std::chrono::milliseconds charge(uint64_t bytes);

private:
    using Clock = std::chrono::steady_clock;
    const uint64_t rate_;
    std::mutex lock_;
    double tokens_;  // bytes that may move at once; below 0 while in debt
    Clock::time_point filled_ = Clock::now();
};

}  // namespace dorvan
