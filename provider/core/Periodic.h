#pragma once
// Runs a task on its own thread every interval until stopped.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quorix::provider {

class Periodic {
 public:
  // A zero interval runs nothing.
  Periodic(std::chrono::milliseconds interval, std::function<void()> task);
  ~Periodic();
  Periodic(const Periodic&) = delete;
  Periodic& operator=(const Periodic&) = delete;

  // Returns once a run under way has finished.
  void stop();

 private:
  void run();

  std::chrono::milliseconds interval_;
  std::function<void()> task_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace quorix::provider
