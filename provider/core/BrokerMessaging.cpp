// Sending, receiving and redelivery.
#include <algorithm>

#include "core/Broker.h"
#include "core/Text.h"
#include "core/detail/Entities.h"
#include "core/detail/Unlocked.h"

namespace quorix::provider {

using detail::CloseReason;

namespace {
// Candidates judged per release of the lock.
constexpr size_t kBatch = 64;

// How many of `items` the filter refuses before the first it accepts; runs
// without the lock.
size_t refusedBefore(std::unique_lock<std::mutex>& lock, const MessageFilter* filter,
                     const std::vector<MessageStore::Candidate>& items) {
  if (!filter) return 0;
  detail::Unlocked unlocked(lock);
  size_t i = 0;
  while (i < items.size() && !filter->matches(*items[i].message)) ++i;
  return i;
}
}  // namespace

void Broker::throwClosed(Closed why) {
  switch (why) {
    case Closed::Consumer: fail(ErrorKind::Consumer, u"the consumer was closed");
    case Closed::Session: fail(ErrorKind::SessionID, u"the session was closed");
    case Closed::Connection: fail(ErrorKind::ConnectionID, u"the connection was closed");
    default: fail(ErrorKind::BadState, u"the server is shutting down");
  }
}

void Broker::notifySource(detail::Source& source) {
  for (detail::Consumer* c : source.consumers) {
    c->cv.notify_all();
    if (c->listener && c->session) schedulePush(*c->session);
  }
}

void Broker::returnToSource(const SourcePtr& source, StoredEntry entry) {
  source->store.putBack(std::move(entry));
  notifySource(*source);
}

void Broker::checkDepth(detail::Queue& queue, size_t pendingForIt) {
  if (config_.maxQueueDepth == 0) return;
  if (queue.store.size() + pendingForIt < config_.maxQueueDepth) return;
  queue.store.purgeExpired(now());
  if (queue.store.size() + pendingForIt >= config_.maxQueueDepth)
    fail(ErrorKind::Full, u"queue \"" + queue.name + u"\" holds " +
                              u16(int64_t(config_.maxQueueDepth)) + u" messages");
}

// Subscriptions' selectors run first, without the lock; then every copy goes
// in, and the kept ones into one storage batch, within one hold of the lock,
// so that no one takes a copy whose storage step is not queued yet.
Broker::Ticket Broker::deliver(Lock& lock, std::vector<detail::PendingSend> sends,
                               std::vector<StorageStep> steps) {
  struct Copy {
    SourcePtr to;
    std::shared_ptr<const MessageFilter> filter;
    size_t send = 0;
    bool wanted = true;
  };
  std::vector<Copy> copies;
  for (size_t i = 0; i < sends.size(); ++i) {
    const detail::PendingSend& p = sends[i];
    if (p.message->expiredAt(now())) continue;
    if (!p.target.isTopic) {
      copies.push_back({queueNamed(p.target.name), nullptr, i});
      continue;
    }
    auto t = topicNamed(p.target.name);
    for (auto it = t->subscriptions.begin(); it != t->subscriptions.end();) {
      if (auto sub = it->second.lock()) {
        copies.push_back({sub, sub->filter, i});
        ++it;
      } else {
        it = t->subscriptions.erase(it);
      }
    }
  }
  if (std::any_of(copies.begin(), copies.end(), [](const Copy& c) { return c.filter; })) {
    detail::Unlocked unlocked(lock);
    for (Copy& c : copies)
      c.wanted = !c.filter || c.filter->matches(*sends[c.send].message);
  }
  std::vector<bool> messageKept(sends.size(), false);
  for (Copy& c : copies) {
    if (!c.wanted) continue;
    detail::PendingSend& p = sends[c.send];
    // A subscription closed meanwhile has a closed store, which ignores the copy.
    uint64_t seq = c.to->store.push(p.message);
    if (seq != 0 && keeps(*c.to, *p.message)) {
      keepSource(*c.to, steps);
      if (!messageKept[c.send]) {
        steps.push_back(step::PutMessage{recordOf(*p.message, std::move(p.stored))});
        messageKept[c.send] = true;
      }
      steps.push_back(step::PutEntry{{c.to->storeKey, seq, p.message->record, false}});
    }
    notifySource(*c.to);
  }
  return store(std::move(steps));
}

SentMessage Broker::produce(const EndpointKey& key, const std::optional<DestinationRef>& to,
                            OutgoingMessage out) {
  // Encoded before the lock is taken: it may be large.
  const bool keep = writer_ && out.deliveryMode == kPersistent && config_.supportsPersistent;
  std::string stored = keep && out.payload ? config_.codec->encode(*out.payload) : std::string();
  Lock lock(mutex_);
  detail::Producer& p = producerFor(key);
  if (!to && !p.destination)
    fail(ErrorKind::Destination, u"producer " + u16(key.uid) + u" has no destination");
  const DestinationRef target = to ? *to : *p.destination;
  checkDestination(target, p.forTopic);
  if (out.deliveryMode == kPersistent && !config_.supportsPersistent)
    fail(ErrorKind::Message, u"persistent messages are not supported by this server");
  if (out.deliveryMode == kNonPersistent && !config_.supportsNonPersistent)
    fail(ErrorKind::Message, u"non-persistent messages are not supported by this server");
  if (out.deliveryMode != kPersistent && out.deliveryMode != kNonPersistent)
    fail(ErrorKind::Message, u"delivery mode " + u16(out.deliveryMode) + u" is not 1 or 2");
  if (out.priority < 0 || out.priority > 9)
    fail(ErrorKind::Message, u"priority " + u16(out.priority) + u" is not 0 to 9");

  detail::Session& s = *sessions_.at(key.session.sid);
  if (!target.isTopic) {
    size_t pending = std::count_if(s.pendingSends.begin(), s.pendingSends.end(), [&](auto& ps) {
      return !ps.target.isTopic && ps.target.name == target.name;
    });
    checkDepth(*queueNamed(target.name), pending);
  }

  if (keep) checkStorage();
  auto m = std::make_shared<Message>();
  m->record = keep ? nextRecord_++ : 0;
  m->id = nextMessageId();
  m->timestamp = now();
  m->expiration = out.expiration;
  m->priority = out.priority;
  m->deliveryMode = out.deliveryMode;
  m->correlationId = std::move(out.correlationId);
  m->type = std::move(out.type);
  m->payload = std::move(out.payload);
  SentMessage sent{m->id, m->timestamp};
  if (s.transacted) {
    s.pendingSends.push_back({target, std::move(m), std::move(stored)});
    return sent;
  }
  std::vector<detail::PendingSend> sends;
  sends.push_back({target, std::move(m), std::move(stored)});
  Ticket t = deliver(lock, std::move(sends));
  lock.unlock();
  awaitStored(t);
  return sent;
}

std::optional<Delivery> Broker::receive(const EndpointKey& key, Wait wait) {
  Lock lock(mutex_);
  ConsumerPtr c = consumerFor(key);
  detail::Taken taken;
  std::optional<Delivery> d = receiveLocked(lock, c, wait, nullptr, taken);
  acknowledge(lock, taken);
  return d;
}

std::optional<Delivery> Broker::receiveById(const EndpointKey& key, const std::u16string& id) {
  Lock lock(mutex_);
  ConsumerPtr c = consumerFor(key);
  detail::Taken taken;
  std::optional<Delivery> d = receiveLocked(lock, c, Wait::none(), &id, taken);
  acknowledge(lock, taken);
  return d;
}

// Waits for the storage without the lock. A message the store could not let
// go goes back where it came from; the receive fails.
void Broker::acknowledge(Lock& lock, detail::Taken& taken) {
  lock.unlock();
  try {
    awaitStored(taken.ticket);
  } catch (const ProviderError&) {
    if (taken.undo) {
      lock.lock();
      returnToSource(taken.undo->source, std::move(taken.undo->entry));
    }
    throw;
  }
}

// A kept message leaves the store before the reply does when the session
// acknowledges it by receiving; in a transaction, the store first notes that
// it went out, so that after a crash it comes back marked redelivered.
std::optional<Delivery> Broker::receiveLocked(Lock& lock, const ConsumerPtr& c, Wait wait,
                                              const std::u16string* id, detail::Taken& taken) {
  for (;;) {
    if (c->closed != Closed::Open) throwClosed(c->closed);
    if (c->kind == ConsumerSpec::Browser) {
      // Browsing needs no started connection and removes nothing.
      if (auto d = browseNext(lock, c)) return d;
    } else if (auto e = takeFor(lock, c, false, id)) {
      Delivery d{e->message, e->redelivered, c->key};
      const uint64_t source = c->source->storeKey;
      if (!c->session->transacted) {
        if (keeps(*c->source, *e->message)) {
          taken.ticket = store({step::DropEntry{source, e->seq}});
          taken.undo = detail::Received{c->source, std::move(*e)};
        }
      } else {
        if (keeps(*c->source, *e->message) && !e->redelivered)
          taken.ticket = store({step::MarkDelivered{source, e->seq}});
        c->session->received.push_back({c->source, std::move(*e)});
      }
      return d;
    }
    if (c->closed != Closed::Open) throwClosed(c->closed);
    if (wait.mode == Wait::NoWait) return std::nullopt;
    if (wait.mode == Wait::Forever) {
      c->cv.wait(lock);
    } else if (c->cv.wait_until(lock, wait.deadline) == std::cv_status::timeout) {
      wait.mode = Wait::NoWait;  // one last look
    }
  }
}

bool Broker::canTake(const detail::Consumer& c, bool forPush) const {
  if (c.closed != Closed::Open || !c.session || !c.session->connection) return false;
  if (!c.session->connection->started) return false;
  return !forPush || (c.listener && c.session->open);
}

// Returns nothing when there is nothing to take, or when the consumer can no
// longer take (closed, stopped, listener gone) once its selector has run.
std::optional<StoredEntry> Broker::takeFor(Lock& lock, const ConsumerPtr& c, bool forPush,
                                           const std::u16string* id) {
  SourcePtr source = c->source;  // the consumer may close while the lock is free
  std::shared_ptr<const MessageFilter> filter = c->filter;
  MessageStore& store = source->store;
  for (;;) {
    if (!canTake(*c, forPush)) return std::nullopt;
    if (!filter && !id) return store.takeFirst(now());
    MessageStore::Batch batch;
    if (!id) {
      batch = store.candidates(c->scanMemo, kBatch, now());
    } else if (auto found = store.withId(*id, now())) {
      batch.items.push_back(*found);
    }
    if (batch.items.empty()) return std::nullopt;
    size_t refused = refusedBefore(lock, filter.get(), batch.items);
    if (!id) store.noteRefused(c->scanMemo, batch, refused);
    if (refused == batch.items.size()) {
      if (id) return std::nullopt;
      continue;
    }
    if (!canTake(*c, forPush)) return std::nullopt;
    if (auto e = store.take(batch.items[refused].key, now())) return e;
    if (id) return std::nullopt;  // someone else took it meanwhile
  }
}

std::optional<Delivery> Broker::browseNext(Lock& lock, const ConsumerPtr& c) {
  SourcePtr source = c->source;
  std::shared_ptr<const MessageFilter> filter = c->filter;
  for (;;) {
    if (c->closed != Closed::Open) return std::nullopt;
    std::vector<MessageStore::Candidate> items =
        source->store.after(c->browseCursor, kBatch, now());
    if (items.empty()) return std::nullopt;
    size_t refused = refusedBefore(lock, filter.get(), items);
    c->browseCursor = items[std::min(refused, items.size() - 1)].key;
    if (refused < items.size())
      return Delivery{items[refused].message, items[refused].redelivered, c->key};
  }
}

}  // namespace quorix::provider
