#pragma once
// Messages waiting for delivery: highest priority first, first in first out
// within a priority. A message taken and then returned (rollback, failed push)
// keeps its place, so it goes out ahead of everything sent after it.
// Not thread-safe: the broker guards it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

#include "core/Message.h"
#include "core/MessageFilter.h"

namespace quorix::provider {

struct StoredEntry {
  MessagePtr message;
  uint64_t seq = 0;
  bool redelivered = false;
};

class MessageStore {
 public:
  using Key = std::pair<int32_t, uint64_t>;  // (9 - priority, arrival)

  // What one filtered reader already refused, so that its next take does not
  // scan from the start: per priority, every entry up to `refused` failed its
  // filter. Entries only ever arrive behind that mark, except returned ones,
  // which start a new epoch and so a fresh scan.
  struct ScanMemo {
    uint64_t epoch = 0;
    std::array<uint64_t, 10> refused{};
  };

  void push(MessagePtr message);
  // Returns a taken entry; it is marked redelivered. Ignored once closed.
  void putBack(StoredEntry entry);

  // First deliverable entry accepted by the filter (null accepts all);
  // expired entries met on the way are dropped.
  // `memo` (optional, for a reader whose filter never changes) skips entries
  // the filter refused before.
  std::optional<StoredEntry> take(const MessageFilter* filter, int64_t nowMs,
                                  ScanMemo* memo = nullptr);
  // The same without removing, starting after `after` (browsing).
  std::optional<std::pair<Key, StoredEntry>> peekAfter(const std::optional<Key>& after,
                                                       const MessageFilter* filter,
                                                       int64_t nowMs);
  bool hasDeliverable(const MessageFilter* filter, int64_t nowMs);
  size_t purgeExpired(int64_t nowMs);

  size_t size() const { return entries_.size(); }
  // A closed store drops what it holds and everything returned to it later.
  void close();
  bool closed() const { return closed_; }

 private:
  static Key keyOf(const StoredEntry& e) { return {9 - e.message->priority, e.seq}; }
  template <class It>
  std::optional<It> findFrom(It from, const MessageFilter* filter, int64_t nowMs);

  std::optional<StoredEntry> takeRemembering(const MessageFilter& filter, int64_t nowMs,
                                             ScanMemo& memo);

  std::map<Key, StoredEntry> entries_;
  uint64_t nextSeq_ = 1;
  uint64_t epoch_ = 1;  // advanced by every return
  bool closed_ = false;
};

}  // namespace quorix::provider
