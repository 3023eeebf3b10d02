#include "core/MemoryStorage.h"

namespace quorix::provider {

MemoryStorage::MemoryStorage(const StorageContents& contents) {
  std::vector<StorageStep> steps;
  for (const SourceRecord& s : contents.sources) steps.push_back(step::PutSource{s});
  for (const MessageRecord& m : contents.messages) steps.push_back(step::PutMessage{m});
  for (const EntryRecord& e : contents.entries) steps.push_back(step::PutEntry{e});
  apply(steps);
  applied_ = 0;
}

StorageContents MemoryStorage::load() {
  std::lock_guard<std::mutex> lock(mutex_);
  StorageContents c;
  for (auto& [key, s] : sources_) c.sources.push_back(s);
  for (auto& [key, m] : messages_) c.messages.push_back(m.first);
  for (auto& [key, e] : entries_) c.entries.push_back(e);
  return c;
}

size_t MemoryStorage::applied() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return applied_;
}

void MemoryStorage::drop(std::map<std::pair<uint64_t, uint64_t>, EntryRecord>::iterator it) {
  auto m = messages_.find(it->second.message);
  if (m != messages_.end() && --m->second.second == 0) messages_.erase(m);
  entries_.erase(it);
}

void MemoryStorage::apply(const std::vector<StorageStep>& steps) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++applied_;
  std::vector<uint64_t> put;  // kept only if an entry refers to them
  for (const StorageStep& s : steps) {
    if (auto* p = std::get_if<step::PutSource>(&s)) {
      sources_[p->source.key] = p->source;
    } else if (auto* d = std::get_if<step::DropSource>(&s)) {
      sources_.erase(d->source);
      for (auto it = entries_.lower_bound({d->source, 0});
           it != entries_.end() && it->first.first == d->source;)
        drop(it++);
    } else if (auto* pm = std::get_if<step::PutMessage>(&s)) {
      if (messages_.emplace(pm->message.key, std::make_pair(pm->message, size_t(0))).second)
        put.push_back(pm->message.key);
    } else if (auto* pe = std::get_if<step::PutEntry>(&s)) {
      auto m = messages_.find(pe->entry.message);
      if (m == messages_.end()) continue;
      if (entries_.emplace(std::make_pair(pe->entry.source, pe->entry.seq), pe->entry).second)
        ++m->second.second;
    } else if (auto* de = std::get_if<step::DropEntry>(&s)) {
      if (auto it = entries_.find({de->source, de->seq}); it != entries_.end()) drop(it);
    } else if (auto* md = std::get_if<step::MarkDelivered>(&s)) {
      if (auto it = entries_.find({md->source, md->seq}); it != entries_.end())
        it->second.delivered = true;
    }
  }
  for (uint64_t key : put)
    if (auto m = messages_.find(key); m != messages_.end() && m->second.second == 0) messages_.erase(m);
}

}  // namespace quorix::provider
