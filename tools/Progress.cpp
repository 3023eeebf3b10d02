#include "Progress.h"

#include <unistd.h>

#include <cstdio>

namespace qjms::cli {

namespace {

constexpr auto kEvery = std::chrono::milliseconds(200);

std::string duration(double seconds) {
    char text[32];
    const long s = long(seconds);
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    }
    return text;
}

}  // namespace

Progress::Progress(std::string what, int64_t total, Clock::time_point end)
    : shown_(isatty(STDERR_FILENO)), what_(std::move(what)), total_(total), start_(Clock::now()),
      end_(end), drawn_(start_) {}

Progress::~Progress() { finish(); }

void Progress::add(int64_t n) {
    count_ += n;
    if (!shown_) return;
    const auto now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex_);
    if (!finished_ && now - drawn_ >= kEvery) draw(now);
}

void Progress::draw(Clock::time_point now) {
    drawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const int64_t count = count_;
    const double rate = elapsed > 0 ? count / elapsed : 0;
    std::string line = what_ + " " + std::to_string(count);
    if (total_ > 0) line += "/" + std::to_string(total_);
    char figures[96];
    std::snprintf(figures, sizeof figures, "  %.0f/s  %s elapsed", rate,
                  duration(elapsed).c_str());
    line += figures;
    if (end_ != Clock::time_point{} && end_ > now) {
        line += "  " + duration(std::chrono::duration<double>(end_ - now).count()) + " left";
    } else if (total_ > count && rate > 0) {
        line += "  " + duration((total_ - count) / rate) + " left";
    }
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
}

void Progress::finish() {
    if (!shown_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return;
    finished_ = true;
    if (drawn_ != start_) std::fprintf(stderr, "\r\033[K");
}

}  // namespace qjms::cli
