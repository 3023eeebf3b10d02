// What the broker keeps in its storage, and what it finds there at start.
#include <algorithm>
#include <map>

#include "core/Broker.h"
#include "core/SelectorFilter.h"
#include "core/Text.h"
#include "core/detail/Entities.h"

namespace quorix::provider {

bool Broker::keeps(const detail::Source& source, const Message& m) {
  return source.storeKey != 0 && m.record != 0;
}

MessageRecord Broker::recordOf(const Message& m, std::string payload) {
  MessageRecord r;
  r.key = m.record;
  r.id = m.id;
  r.timestamp = m.timestamp;
  r.expiration = m.expiration;
  r.priority = m.priority;
  r.deliveryMode = m.deliveryMode;
  r.correlationId = m.correlationId;
  r.type = m.type;
  r.annotations = m.annotations;
  r.payload = std::move(payload);
  return r;
}

MessagePtr Broker::restoredMessage(MessageRecord& r) const {
  auto m = std::make_shared<Message>();
  m->record = r.key;
  m->id = std::move(r.id);
  m->timestamp = r.timestamp;
  m->expiration = r.expiration;
  m->priority = r.priority;
  m->deliveryMode = r.deliveryMode;
  m->correlationId = std::move(r.correlationId);
  m->type = std::move(r.type);
  m->annotations = std::move(r.annotations);
  m->payload = config_.codec->decode(r.payload);
  return m;
}

void Broker::keepSource(detail::Source& source, std::vector<StorageStep>& steps) {
  if (source.stored || source.storeKey == 0) return;
  SourceRecord r;
  r.key = source.storeKey;
  if (auto* q = dynamic_cast<detail::Queue*>(&source)) {
    r.kind = SourceRecord::Queue;
    r.name = q->name;
  } else {
    auto& sub = static_cast<detail::Subscription&>(source);
    r.kind = SourceRecord::Subscription;
    r.clientId = sub.clientId;
    r.name = sub.name;
    r.topic = sub.topic->name;
    r.selector = sub.selector;
  }
  steps.push_back(step::PutSource{std::move(r)});
  source.stored = true;
}

// Expired entries are dropped wherever the source finds them, always with the
// broker's lock held.
void Broker::observeExpiry(detail::Source& source) {
  source.store.onExpired([this, &source](const StoredEntry& e) {
    if (keeps(source, *e.message)) storeLater({step::DropEntry{source.storeKey, e.seq}});
  });
}

Broker::Ticket Broker::store(std::vector<StorageStep> steps) {
  return writer_ ? writer_->append(std::move(steps)) : 0;
}

void Broker::storeLater(std::vector<StorageStep> steps) {
  if (writer_) writer_->append(std::move(steps), /*awaited=*/false);
}

void Broker::awaitStored(Ticket ticket) {
  if (writer_) writer_->wait(ticket);
}

void Broker::checkStorage() const {
  if (writer_) writer_->checkHealthy();
}

uint64_t Broker::storageWrites() const { return writer_ ? writer_->writes() : 0; }

void Broker::restore() {
  Lock lock(mutex_);
  if (restored_) return;
  StorageContents kept = config_.storage->load();
  for (const SourceRecord& r : kept.sources) nextSourceKey_ = std::max(nextSourceKey_, r.key + 1);
  for (const MessageRecord& r : kept.messages) nextRecord_ = std::max(nextRecord_, r.key + 1);

  std::map<uint64_t, SourcePtr> sources;
  for (SourceRecord& r : kept.sources) {
    SourcePtr source;
    if (r.kind == SourceRecord::Queue) {
      source = queueNamed(r.name);
    } else {
      std::shared_ptr<const MessageFilter> filter;
      try {
        filter = compileSelector(r.selector);
      } catch (const ProviderError& e) {
        throw StorageError("durable subscription \"" + toUtf8(r.name) + "\" has a selector " +
                           "this server cannot read: " + toUtf8(e.reason()));
      }
      source = durableSubscription({r.clientId, r.name}, r.topic, r.selector, std::move(filter));
    }
    source->storeKey = r.key;
    source->stored = true;
    sources[r.key] = std::move(source);
  }

  std::map<uint64_t, MessagePtr> messages;
  for (MessageRecord& r : kept.messages) {
    uint64_t key = r.key;
    messages[key] = restoredMessage(r);
  }
  // Entries come in arrival order within each source; each goes back to its
  // own place. One handed out before and never acknowledged is redelivered.
  std::vector<StorageStep> expired;
  for (const EntryRecord& e : kept.entries) {
    auto s = sources.find(e.source);
    auto m = messages.find(e.message);
    if (s == sources.end() || m == messages.end()) continue;
    if (m->second->expiredAt(now())) {
      expired.push_back(step::DropEntry{e.source, e.seq});
      continue;
    }
    s->second->store.restore(StoredEntry{m->second, e.seq, e.delivered, 0});
  }
  storeLater(std::move(expired));
  restored_ = true;
}

}  // namespace quorix::provider
