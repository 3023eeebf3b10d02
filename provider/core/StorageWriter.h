#pragma once
// Makes the broker's storage batches durable on one thread, in the order they
// were queued. With group commit, the batches that queue up while one write is
// under way go to the backend together, as one atomic write: each caller
// still returns only once its own batch is durable, and callers share the
// cost of the disk's flush.
//
// After a failed write the store is broken for good: nothing more is written
// (a later batch could depend on the lost one), every wait fails, and the
// provider must be restarted, which finds what the store last made durable.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/Storage.h"

namespace quorix::provider {

class StorageWriter {
 public:
  using Ticket = uint64_t;  // 0: nothing to wait for

  StorageWriter(std::shared_ptr<Storage> storage, bool groupCommit,
                std::function<void(const std::u16string&)> log);
  // Writes what is queued, then stops.
  ~StorageWriter();
  StorageWriter(const StorageWriter&) = delete;
  StorageWriter& operator=(const StorageWriter&) = delete;

  // Queues one batch; an empty one gets ticket 0.
  Ticket append(std::vector<StorageStep> steps);
  // Returns once the batch is durable; fails with ErrorKind::Store if the
  // store broke before it was.
  void wait(Ticket ticket);
  // Waits until everything queued so far is written or the store broke.
  void flush();
  // Fails with ErrorKind::Store if the store is broken.
  void checkHealthy() const;
  // Backend writes so far (one per group with group commit).
  uint64_t writes() const;

 private:
  void run();
  [[noreturn]] void failStore() const;

  std::shared_ptr<Storage> storage_;
  const bool groupCommit_;
  std::function<void(const std::u16string&)> log_;
  mutable std::mutex mutex_;
  std::condition_variable work_, written_;
  std::deque<std::vector<StorageStep>> queue_;  // batches after `durable_`, in order
  Ticket queued_ = 0, durable_ = 0;
  uint64_t writes_ = 0;
  std::optional<std::string> broken_;  // why
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace quorix::provider
