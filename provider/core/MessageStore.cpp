#include "core/MessageStore.h"

namespace quorix::provider {

void MessageStore::push(MessagePtr message) {
  if (closed_) return;
  StoredEntry e{std::move(message), nextSeq_++, false};
  entries_.emplace(keyOf(e), std::move(e));
}

void MessageStore::putBack(StoredEntry entry) {
  if (closed_) return;
  entry.redelivered = true;
  ++epoch_;
  entries_.emplace(keyOf(entry), std::move(entry));
}

template <class It>
std::optional<It> MessageStore::findFrom(It it, const MessageFilter* filter, int64_t nowMs) {
  while (it != entries_.end()) {
    const Message& m = *it->second.message;
    if (m.expiredAt(nowMs)) {
      it = entries_.erase(it);
      continue;
    }
    if (!filter || filter->matches(m)) return it;
    ++it;
  }
  return std::nullopt;
}

std::optional<StoredEntry> MessageStore::take(const MessageFilter* filter, int64_t nowMs,
                                              ScanMemo* memo) {
  if (filter && memo) return takeRemembering(*filter, nowMs, *memo);
  auto it = findFrom(entries_.begin(), filter, nowMs);
  if (!it) return std::nullopt;
  StoredEntry e = std::move((*it)->second);
  entries_.erase(*it);
  return e;
}

std::optional<StoredEntry> MessageStore::takeRemembering(const MessageFilter& filter,
                                                        int64_t nowMs, ScanMemo& memo) {
  if (memo.epoch != epoch_) {
    memo.epoch = epoch_;
    memo.refused.fill(0);
  }
  for (int32_t level = 0; level < 10; ++level) {  // level 0 is priority 9
    uint64_t& refused = memo.refused[level];
    auto it = entries_.lower_bound({level, refused + 1});
    while (it != entries_.end() && it->first.first == level) {
      const Message& m = *it->second.message;
      if (m.expiredAt(nowMs)) {
        it = entries_.erase(it);
        continue;
      }
      if (filter.matches(m)) {
        StoredEntry e = std::move(it->second);
        entries_.erase(it);
        return e;
      }
      refused = it->first.second;
      ++it;
    }
  }
  return std::nullopt;
}

std::optional<std::pair<MessageStore::Key, StoredEntry>> MessageStore::peekAfter(
    const std::optional<Key>& after, const MessageFilter* filter, int64_t nowMs) {
  auto start = after ? entries_.upper_bound(*after) : entries_.begin();
  auto it = findFrom(start, filter, nowMs);
  if (!it) return std::nullopt;
  return std::make_pair((*it)->first, (*it)->second);
}

bool MessageStore::hasDeliverable(const MessageFilter* filter, int64_t nowMs) {
  return findFrom(entries_.begin(), filter, nowMs).has_value();
}

size_t MessageStore::purgeExpired(int64_t nowMs) {
  size_t dropped = 0;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->second.message->expiredAt(nowMs)) {
      it = entries_.erase(it);
      ++dropped;
    } else {
      ++it;
    }
  }
  return dropped;
}

void MessageStore::close() {
  closed_ = true;
  entries_.clear();
}

}  // namespace quorix::provider
