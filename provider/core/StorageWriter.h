#pragma once
// Makes the broker's storage batches durable in the order they were queued.
// A caller that waits for its batch writes it itself when no write is under
// way, together with every batch queued before it (group commit): the
// batches that queue up during one write go to the backend as the next one,
// as one atomic write. Each caller still returns only once its own batch is
// durable, and callers share the cost of the disk's flush; a lone caller
// pays no hand-over to another thread. Batches no one waits for are written
// by the writer's own thread soon after, unless a caller's write takes them.
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

  // Without group commit every batch is a write of its own.
  StorageWriter(std::shared_ptr<Storage> storage, bool groupCommit,
                std::function<void(const std::u16string&)> log);
  // Writes what is queued, then stops.
  ~StorageWriter();
  StorageWriter(const StorageWriter&) = delete;
  StorageWriter& operator=(const StorageWriter&) = delete;

  // Queues one batch; an empty one gets ticket 0. `awaited`: its caller will
  // wait for it (and so write it).
  Ticket append(std::vector<StorageStep> steps, bool awaited = true);
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
  using Lock = std::unique_lock<std::mutex>;
  // Waits for `ticket`, writing while no one else does.
  void writeUntil(Lock& lock, Ticket ticket);
  void writeNext(Lock& lock);
  void background();
  [[noreturn]] void failStore() const;

  std::shared_ptr<Storage> storage_;
  const bool groupCommit_;
  std::function<void(const std::u16string&)> log_;
  mutable std::mutex mutex_;
  std::condition_variable written_;   // a write ended
  std::condition_variable unwaited_;  // for the writer's thread: work, or stop
  std::deque<std::vector<StorageStep>> queue_;  // batches after `durable_`, in order
  Ticket queued_ = 0, durable_ = 0, lastUnwaited_ = 0;
  bool writing_ = false;
  uint64_t writes_ = 0;
  std::optional<std::string> broken_;  // why
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace quorix::provider
