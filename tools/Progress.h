#pragma once
// A one-line progress report on standard error, only when it is a terminal:
// count, rate, elapsed and, where known, the time remaining.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

namespace qjms::cli {

class Progress {
public:
    using Clock = std::chrono::steady_clock;
    // `total` 0: unknown; `end` (for a run of fixed length) gives the remaining time instead.
    Progress(std::string what, int64_t total, Clock::time_point end = {});
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Safe from any thread.
    void add(int64_t n = 1);
    // Clears the line.
    void finish();

private:
    void draw(Clock::time_point now);

    const bool shown_;
    const std::string what_;
    const int64_t total_;
    const Clock::time_point start_;
    const Clock::time_point end_;
    std::atomic<int64_t> count_{0};
    std::mutex mutex_;
    Clock::time_point drawn_;
    bool finished_ = false;
};

}  // namespace qjms::cli
