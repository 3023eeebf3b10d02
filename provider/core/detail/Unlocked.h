#pragma once
#include <mutex>

namespace quorix::provider::detail {

// Releases a held lock for a scope and takes it back at the scope's end, also
// when the scope is left by an exception.
class Unlocked {
 public:
  explicit Unlocked(std::unique_lock<std::mutex>& lock) : lock_(lock) { lock_.unlock(); }
  ~Unlocked() { lock_.lock(); }
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;

 private:
  std::unique_lock<std::mutex>& lock_;
};

}  // namespace quorix::provider::detail
