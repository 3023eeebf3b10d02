// Sending, receiving, redelivery and push delivery.
#include <algorithm>

#include "core/Broker.h"
#include "core/Text.h"
#include "core/detail/Entities.h"

namespace quorix::provider {

using detail::CloseReason;

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
    if (c->listener && c->session) c->session->pushCv.notify_all();
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

void Broker::deliverNow(const DestinationRef& target, const MessagePtr& message) {
  if (message->expiredAt(now())) return;
  if (!target.isTopic) {
    auto q = queueNamed(target.name);
    q->store.push(message);
    notifySource(*q);
    return;
  }
  auto t = topicNamed(target.name);
  for (detail::Subscription* sub : t->subscriptions) {
    if (sub->filter && !sub->filter->matches(*message)) continue;
    sub->store.push(message);
    notifySource(*sub);
  }
}

SentMessage Broker::produce(const EndpointKey& key, const std::optional<DestinationRef>& to,
                            OutgoingMessage out) {
  Lock lock(mutex_);
  detail::Producer& p = producerFor(key);
  if (!to && !p.destination)
    fail(ErrorKind::Destination, u"producer " + u16(key.uid) + u" has no destination");
  const DestinationRef& target = to ? *to : *p.destination;
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
    deliverNow(target, m);
  return sent;
}

std::optional<Delivery> Broker::receive(const EndpointKey& key, Wait wait) {
  Lock lock(mutex_);
  ConsumerPtr c = consumerFor(key);
  return receiveLocked(lock, c, wait, c->filter.get());
}

namespace {
// The consumer's own filter, narrowed to one message identifier.
class IdFilter : public MessageFilter {
 public:
  IdFilter(const MessageFilter* inner, const std::u16string& id) : inner_(inner), id_(id) {}
  bool matches(const Message& m) const override {
    return m.id == id_ && (!inner_ || inner_->matches(m));
  }

 private:
  const MessageFilter* inner_;
  const std::u16string& id_;
};
}  // namespace

std::optional<Delivery> Broker::receiveById(const EndpointKey& key, const std::u16string& id) {
  Lock lock(mutex_);
  ConsumerPtr c = consumerFor(key);
  IdFilter filter(c->filter.get(), id);
  return receiveLocked(lock, c, Wait::none(), &filter);
}

std::optional<Delivery> Broker::receiveLocked(Lock& lock, const ConsumerPtr& c, Wait wait,
                                              const MessageFilter* filter) {
  for (;;) {
    if (c->closed != Closed::Open) throwClosed(c->closed);
    detail::Session& s = *c->session;
    if (c->kind == ConsumerSpec::Browser) {
      // Browsing needs no started connection and removes nothing.
      if (auto found = c->source->store.peekAfter(c->browseCursor, filter, now())) {
        c->browseCursor = found->first;
        return Delivery{found->second.message, found->second.redelivered, c->key};
      }
    } else if (s.connection->started) {
      MessageStore::ScanMemo* memo = filter == c->filter.get() ? &c->scanMemo : nullptr;
      if (auto e = c->source->store.take(filter, now(), memo)) {
        Delivery d{e->message, e->redelivered, c->key};
        if (s.transacted) s.received.push_back({c->source, std::move(*e)});
        return d;
      }
    }
    if (wait.mode == Wait::NoWait) return std::nullopt;
    if (wait.mode == Wait::Forever) {
      c->cv.wait(lock);
    } else if (c->cv.wait_until(lock, wait.deadline) == std::cv_status::timeout) {
      wait.mode = Wait::NoWait;  // one last look
    }
  }
}

// ---- push delivery -------------------------------------------------------

void Broker::ensurePushThread(const SessionPtr& s) {
  if (s->pushThread.joinable()) return;
  s->pushDone = std::make_shared<bool>(false);
  s->pushThread = std::thread([this, s] { pushLoop(s); });
}

void Broker::reapPushThreads(Lock& lock) {
  std::vector<std::thread> finished;
  for (auto it = retired_.begin(); it != retired_.end();) {
    if (*it->done) {
      finished.push_back(std::move(it->thread));
      it = retired_.erase(it);
    } else {
      ++it;
    }
  }
  lock.unlock();
  for (auto& t : finished) t.join();
  lock.lock();
}

namespace {
std::chrono::milliseconds backoff(int failures) {
  return std::chrono::milliseconds(std::min<int64_t>(2000, int64_t(20) << std::min(failures, 7)));
}
}  // namespace

void Broker::pushLoop(SessionPtr s) {
  Lock lock(mutex_);
  while (s->open) {
    if (std::chrono::steady_clock::now() < s->pushResumeAt) {
      s->pushCv.wait_until(lock, s->pushResumeAt);
      continue;
    }
    // Round robin over this session's listeners, starting after the last served.
    ConsumerPtr consumer;
    std::optional<StoredEntry> entry;
    if (s->connection && s->connection->started && !s->consumers.empty()) {
      auto start = s->consumers.upper_bound(s->pushCursor);
      for (size_t n = 0; n < s->consumers.size() && !entry; ++n, ++start) {
        if (start == s->consumers.end()) start = s->consumers.begin();
        const ConsumerPtr& c = start->second;
        if (!c->listener) continue;
        entry = c->source->store.take(c->filter.get(), now(), &c->scanMemo);
        if (entry) consumer = c;
      }
    }
    if (!entry) {
      s->pushCv.wait(lock);
      continue;
    }
    s->pushCursor = consumer->key.uid;
    SourcePtr source = consumer->source;
    Delivery delivery{entry->message, entry->redelivered, consumer->key};
    std::shared_ptr<MessageSink> sink = s->sink;
    lock.unlock();
    PushOutcome outcome = sink ? sink->push(delivery) : PushOutcome::Failed;
    lock.lock();
    switch (outcome) {
      case PushOutcome::Delivered:
        s->pushFailures = 0;
        if (s->transacted) {
          if (s->open)
            s->received.push_back({source, std::move(*entry)});
          else  // the session's close already rolled back
            returnToSource(source, std::move(*entry));
        }
        break;
      case PushOutcome::Failed:
        returnToSource(source, std::move(*entry));
        s->pushResumeAt = std::chrono::steady_clock::now() + backoff(s->pushFailures++);
        break;
      case PushOutcome::ConsumerGone:
        consumer->listener = false;
        returnToSource(source, std::move(*entry));
        break;
      case PushOutcome::SessionGone:
        returnToSource(source, std::move(*entry));
        if (s->open) closeSessionLocked(s, Closed::Session);
        break;
    }
  }
  *s->pushDone = true;
}

}  // namespace quorix::provider
