#include "ftp/rate_limit.h"

#include <algorithm>
#include <cmath>

namespace dorvan {

RateLimit::RateLimit(uint64_t bytesPerSecond)
    : rate_(std::max<uint64_t>(bytesPerSecond, 1)), tokens_(static_cast<double>(rate_)) {}

std::chrono::milliseconds RateLimit::charge(uint64_t bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    const Clock::time_point now = Clock::now();
    const double rate = static_cast<double>(rate_);
    tokens_ = std::min(rate, tokens_ + std::chrono::duration<double>(now - filled_).count() * rate);
    filled_ = now;
    tokens_ -= static_cast<double>(bytes);
    if (tokens_ >= 0) return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(static_cast<int64_t>(std::ceil(-tokens_ * 1000 / rate)));
}

}  // namespace dorvan
