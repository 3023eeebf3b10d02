#pragma once
// Messages waiting for delivery: highest priority first, first in first out
// within a priority. A message taken and then returned (rollback, failed push)
// keeps its place, so it goes out ahead of everything sent after it.
// Not thread-safe: the broker guards it.
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

  void push(MessagePtr message);
  // Returns a taken entry; it is marked redelivered. Ignored once closed.
  void putBack(StoredEntry entry);

  // First deliverable entry accepted by the filter (null accepts all);
  // expired entries met on the way are dropped.
  std::optional<StoredEntry> take(const MessageFilter* filter, int64_t nowMs);
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

  std::map<Key, StoredEntry> entries_;
  uint64_t nextSeq_ = 1;
  bool closed_ = false;
};

}  // namespace quorix::provider
