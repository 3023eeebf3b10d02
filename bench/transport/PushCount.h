#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace bench {
// Counts pushed messages for a listener of either side; waitFor blocks until
// `count` have arrived since the last wait.
class PushCount {
 public:
  void arrived() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (++count_ >= target_) done_.notify_all();
  }
  bool waitFor(uint64_t count, int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    target_ = count;
    const bool ok = done_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return count_ >= target_; });
    count_ = 0;
    target_ = UINT64_MAX;
    return ok;
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  uint64_t count_ = 0;
  uint64_t target_ = UINT64_MAX;
};
}  // namespace bench
