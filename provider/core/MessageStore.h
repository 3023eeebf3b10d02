#pragma once
// Messages waiting for delivery: highest priority first, first in first out
// within a priority. A message taken and then returned (rollback, failed push)
// keeps its place, so it goes out ahead of everything sent after it.
// Not thread-safe: the broker guards it. Selectors are never evaluated here:
// a filtered reader takes candidates, judges them without the broker's lock
// and then takes the one it wants by key.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Message.h"

namespace quorix::provider {

struct StoredEntry {
  MessagePtr message;
  uint64_t seq = 0;
  bool redelivered = false;
  uint32_t failures = 0;  // pushes of it that failed
};

class MessageStore {
 public:
  using Key = std::pair<int32_t, uint64_t>;  // (9 - priority, arrival)

  struct Candidate {
    Key key;
    MessagePtr message;
    bool redelivered = false;
  };
  // Candidates in delivery order, and the store's epoch when they were read.
  struct Batch {
    uint64_t epoch = 0;
    std::vector<Candidate> items;
  };
  // What one filtered reader already refused, so that its next look does not
  // start from the front: per priority, every entry up to `refused` failed its
  // filter. Entries only ever arrive behind that mark, except returned ones,
  // which start a new epoch and so a fresh look.
  struct ScanMemo {
    uint64_t epoch = 0;
    std::array<uint64_t, 10> refused{};
  };

  // Returns the entry's arrival number, which stays its own while it is here.
  uint64_t push(MessagePtr message);
  // An entry kept from an earlier run, at its own place.
  void restore(StoredEntry entry);
  // Returns a taken entry; it is marked redelivered. Ignored once closed.
  void putBack(StoredEntry entry);

  // The first deliverable entry. Expired entries met on the way are dropped,
  // here and in every look below.
  std::optional<StoredEntry> takeFirst(int64_t nowMs);
  // Up to `max` entries the reader has not refused yet.
  Batch candidates(ScanMemo& memo, size_t max, int64_t nowMs);
  // The reader refused the first `count` candidates of `batch`: remembered,
  // unless entries came back since the batch was read.
  void noteRefused(ScanMemo& memo, const Batch& batch, size_t count);
  // The entry, if it is still there and has not expired.
  std::optional<StoredEntry> take(const Key& key, int64_t nowMs);
  // Browsing: up to `max` entries after `after`, left in place.
  std::vector<Candidate> after(const std::optional<Key>& after, size_t max, int64_t nowMs);
  std::optional<Candidate> withId(const std::u16string& id, int64_t nowMs);

  // Drops every expired entry; costs the number dropped, not the size.
  size_t purgeExpired(int64_t nowMs);
  // Told of every entry dropped because it expired, wherever that happens.
  void onExpired(std::function<void(const StoredEntry&)> observer) { expired_ = std::move(observer); }

  size_t size() const { return entries_.size(); }
  // A closed store drops what it holds and everything returned to it later.
  void close();
  bool closed() const { return closed_; }

 private:
  using Entries = std::map<Key, StoredEntry>;
  static Key keyOf(const StoredEntry& e) { return {9 - e.message->priority, e.seq}; }
  void insert(StoredEntry entry);
  Entries::iterator erase(Entries::iterator it);
  Entries::iterator dropExpired(Entries::iterator it);
  StoredEntry extract(Entries::iterator it);
  // `it` or the first entry after it that has not expired.
  Entries::iterator live(Entries::iterator it, int64_t nowMs);

  Entries entries_;
  std::set<std::pair<int64_t, Key>> expiries_;  // the entries that expire, soonest first
  uint64_t nextSeq_ = 1;
  uint64_t epoch_ = 1;  // advanced by every return
  bool closed_ = false;
  std::function<void(const StoredEntry&)> expired_;
};

}  // namespace quorix::provider
