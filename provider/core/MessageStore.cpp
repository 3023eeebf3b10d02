#include "core/MessageStore.h"

#include <algorithm>

namespace quorix::provider {

void MessageStore::insert(StoredEntry entry) {
  Key key = keyOf(entry);
  if (entry.message->expiration != 0) expiries_.emplace(entry.message->expiration, key);
  entries_.emplace(key, std::move(entry));
}

MessageStore::Entries::iterator MessageStore::erase(Entries::iterator it) {
  if (int64_t expiration = it->second.message->expiration; expiration != 0)
    expiries_.erase({expiration, it->first});
  return entries_.erase(it);
}

MessageStore::Entries::iterator MessageStore::dropExpired(Entries::iterator it) {
  if (expired_) expired_(it->second);
  return erase(it);
}

MessageStore::Entries::iterator MessageStore::live(Entries::iterator it, int64_t nowMs) {
  while (it != entries_.end() && it->second.message->expiredAt(nowMs)) it = dropExpired(it);
  return it;
}

uint64_t MessageStore::push(MessagePtr message) {
  if (closed_) return 0;
  insert(StoredEntry{std::move(message), nextSeq_, false, 0});
  return nextSeq_++;
}

void MessageStore::restore(StoredEntry entry) {
  if (closed_) return;
  nextSeq_ = std::max(nextSeq_, entry.seq + 1);
  insert(std::move(entry));
}

void MessageStore::putBack(StoredEntry entry) {
  if (closed_) return;
  entry.redelivered = true;
  ++epoch_;
  insert(std::move(entry));
}

StoredEntry MessageStore::extract(Entries::iterator it) {
  StoredEntry e = it->second;
  erase(it);
  return e;
}

std::optional<StoredEntry> MessageStore::takeFirst(int64_t nowMs) {
  auto it = live(entries_.begin(), nowMs);
  if (it == entries_.end()) return std::nullopt;
  return extract(it);
}

MessageStore::Batch MessageStore::candidates(ScanMemo& memo, size_t max, int64_t nowMs) {
  if (memo.epoch != epoch_) {
    memo.epoch = epoch_;
    memo.refused.fill(0);
  }
  Batch batch{epoch_, {}};
  for (int32_t level = 0; level < 10 && batch.items.size() < max; ++level) {  // 0 is priority 9
    auto it = live(entries_.lower_bound({level, memo.refused[level] + 1}), nowMs);
    while (it != entries_.end() && it->first.first == level && batch.items.size() < max) {
      batch.items.push_back({it->first, it->second.message, it->second.redelivered});
      it = live(std::next(it), nowMs);
    }
  }
  return batch;
}

void MessageStore::noteRefused(ScanMemo& memo, const Batch& batch, size_t count) {
  if (batch.epoch != epoch_ || memo.epoch != epoch_) return;
  for (size_t i = 0; i < count && i < batch.items.size(); ++i) {
    const Key& k = batch.items[i].key;
    memo.refused[k.first] = std::max(memo.refused[k.first], k.second);
  }
}

std::optional<StoredEntry> MessageStore::take(const Key& key, int64_t nowMs) {
  auto it = entries_.find(key);
  if (it == entries_.end()) return std::nullopt;
  if (it->second.message->expiredAt(nowMs)) {
    dropExpired(it);
    return std::nullopt;
  }
  return extract(it);
}

std::vector<MessageStore::Candidate> MessageStore::after(const std::optional<Key>& after,
                                                         size_t max, int64_t nowMs) {
  std::vector<Candidate> out;
  auto it = live(after ? entries_.upper_bound(*after) : entries_.begin(), nowMs);
  for (; it != entries_.end() && out.size() < max; it = live(std::next(it), nowMs))
    out.push_back({it->first, it->second.message, it->second.redelivered});
  return out;
}

std::optional<MessageStore::Candidate> MessageStore::withId(const std::u16string& id,
                                                            int64_t nowMs) {
  for (auto it = live(entries_.begin(), nowMs); it != entries_.end();
       it = live(std::next(it), nowMs))
    if (it->second.message->id == id) return Candidate{it->first, it->second.message,
                                                       it->second.redelivered};
  return std::nullopt;
}

size_t MessageStore::purgeExpired(int64_t nowMs) {
  size_t dropped = 0;
  while (!expiries_.empty() && expiries_.begin()->first <= nowMs) {
    dropExpired(entries_.find(expiries_.begin()->second));
    ++dropped;
  }
  return dropped;
}

void MessageStore::close() {
  closed_ = true;
  entries_.clear();
  expiries_.clear();
}

}  // namespace quorix::provider
