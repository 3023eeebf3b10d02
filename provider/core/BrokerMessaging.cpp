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

void Broker::deliver(Lock& lock, const std::vector<detail::PendingSend>& sends) {
  struct Copy {
    std::shared_ptr<detail::Subscription> to;
    MessagePtr message;
    bool wanted = true;
  };
  std::vector<Copy> copies;
  for (const detail::PendingSend& p : sends) {
    if (p.message->expiredAt(now())) continue;
    if (!p.target.isTopic) {
      auto q = queueNamed(p.target.name);
      q->store.push(p.message);
      notifySource(*q);
      continue;
    }
    auto t = topicNamed(p.target.name);
    for (auto it = t->subscriptions.begin(); it != t->subscriptions.end();) {
      if (auto sub = it->second.lock()) {
        copies.push_back({std::move(sub), p.message});
        ++it;
      } else {
        it = t->subscriptions.erase(it);
      }
    }
  }
  if (std::any_of(copies.begin(), copies.end(), [](const Copy& c) { return c.to->filter; })) {
    detail::Unlocked unlocked(lock);
    for (Copy& c : copies) c.wanted = !c.to->filter || c.to->filter->matches(*c.message);
  }
  // A subscription closed meanwhile has a closed store, which ignores the copy.
  for (Copy& c : copies) {
    if (!c.wanted) continue;
    c.to->store.push(c.message);
    notifySource(*c.to);
  }
}

SentMessage Broker::produce(const EndpointKey& key, const std::optional<DestinationRef>& to,
                            OutgoingMessage out) {
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

  auto m = std::make_shared<Message>();
  m->id = nextMessageId();
  m->timestamp = now();
  m->expiration = out.expiration;
  m->priority = out.priority;
  m->deliveryMode = out.deliveryMode;
  m->correlationId = std::move(out.correlationId);
  m->type = std::move(out.type);
  m->payload = std::move(out.payload);
  SentMessage sent{m->id, m->timestamp};
  if (s.transacted)
    s.pendingSends.push_back({target, std::move(m)});
  else
    deliver(lock, {{target, std::move(m)}});
  return sent;
}

std::optional<Delivery> Broker::receive(const EndpointKey& key, Wait wait) {
  Lock lock(mutex_);
  ConsumerPtr c = consumerFor(key);
  return receiveLocked(lock, c, wait, nullptr);
}

std::optional<Delivery> Broker::receiveById(const EndpointKey& key, const std::u16string& id) {
  Lock lock(mutex_);
  ConsumerPtr c = consumerFor(key);
  return receiveLocked(lock, c, Wait::none(), &id);
}

std::optional<Delivery> Broker::receiveLocked(Lock& lock, const ConsumerPtr& c, Wait wait,
                                              const std::u16string* id) {
  for (;;) {
    if (c->closed != Closed::Open) throwClosed(c->closed);
    if (c->kind == ConsumerSpec::Browser) {
      // Browsing needs no started connection and removes nothing.
      if (auto d = browseNext(lock, c)) return d;
    } else if (auto e = takeFor(lock, c, false, id)) {
      Delivery d{e->message, e->redelivered, c->key};
      if (c->session->transacted) c->session->received.push_back({c->source, std::move(*e)});
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
