#include "core/Periodic.h"

namespace quorix::provider {

Periodic::Periodic(std::chrono::milliseconds interval, std::function<void()> task)
    : interval_(interval), task_(std::move(task)) {
  if (interval_.count() > 0) thread_ = std::thread([this] { run(); });
}

Periodic::~Periodic() { stop(); }

void Periodic::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Periodic::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!cv_.wait_for(lock, interval_, [this] { return stopping_; })) {
    lock.unlock();
    task_();
    lock.lock();
  }
}

}  // namespace quorix::provider
