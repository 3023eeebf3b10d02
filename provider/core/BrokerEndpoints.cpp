// Destinations, producers, consumers and subscriptions.
#include <algorithm>

#include "core/Broker.h"
#include "core/SelectorFilter.h"
#include "core/Text.h"
#include "core/detail/Entities.h"

namespace quorix::provider {

using detail::CloseReason;

void Broker::checkDestination(const DestinationRef& d, bool wantTopic) const {
  if (d.name.empty()) fail(ErrorKind::Destination, u"destination name is empty");
  if (d.isTopic != wantTopic)
    fail(ErrorKind::Destination, (d.isTopic ? u"topic \"" : u"queue \"") + d.name +
                                     (wantTopic ? u"\" given where a topic is needed"
                                                : u"\" given where a queue is needed"));
  if (d.defined && !equalsIgnoreCase(d.driver, config_.driver))
    fail(ErrorKind::Destination, u"destination \"" + d.name + u"\" is defined for driver \"" +
                                     d.driver + u"\", this server runs \"" + config_.driver + u"\"");
}

std::shared_ptr<detail::Queue> Broker::queueNamed(const std::u16string& name) {
  auto& q = queues_[name];
  if (!q) {
    q = std::make_shared<detail::Queue>();
    q->name = name;
    if (writer_) {
      q->storeKey = nextSourceKey_++;  // its record is written with its first kept message
      observeExpiry(*q);
    }
  }
  return q;
}

std::shared_ptr<detail::Topic> Broker::topicNamed(const std::u16string& name) {
  auto& t = topics_[name];
  if (!t) {
    t = std::make_shared<detail::Topic>();
    t->name = name;
  }
  return t;
}

// Kept at once when there is a storage.
std::shared_ptr<detail::Subscription> Broker::durableSubscription(
    const std::pair<std::u16string, std::u16string>& key, const std::u16string& topic,
    const std::optional<std::u16string>& selector, std::shared_ptr<const MessageFilter> filter) {
  auto sub = std::make_shared<detail::Subscription>();
  sub->topic = topicNamed(topic);
  sub->filter = std::move(filter);
  sub->selector = canonicalSelector(selector);
  sub->durable = true;
  sub->clientId = key.first;
  sub->name = key.second;
  sub->topic->subscriptions.emplace(sub.get(), sub);
  durables_[key] = sub;
  if (writer_) {
    sub->storeKey = nextSourceKey_++;
    observeExpiry(*sub);
  }
  return sub;
}

// ---- producers -----------------------------------------------------------

EndpointKey Broker::createProducer(const SessionKey& key, bool forTopic,
                                   const std::optional<DestinationRef>& destination) {
  Lock lock(mutex_);
  const SessionPtr& s = sessionFor(key);
  if (destination) {
    checkDestination(*destination, forTopic);
    forTopic ? (void)topicNamed(destination->name) : (void)queueNamed(destination->name);
  }
  auto p = std::make_shared<detail::Producer>();
  p->key = EndpointKey{nextUid_++, s->key};
  p->forTopic = forTopic;
  p->destination = destination;
  s->producers[p->key.uid] = p;
  return p->key;
}

void Broker::closeProducer(const EndpointKey& key) {
  Lock lock(mutex_);
  producerFor(key);
  sessionFor(key.session)->producers.erase(key.uid);
}

// ---- consumers -----------------------------------------------------------

EndpointKey Broker::createConsumer(const SessionKey& key, const ConsumerSpec& spec) {
  Lock lock(mutex_);
  std::vector<StorageStep> steps;  // a durable subscription's definition
  const SessionPtr& s = sessionFor(key);
  bool topic = spec.kind == ConsumerSpec::Subscriber || spec.kind == ConsumerSpec::Durable;
  checkDestination(spec.destination, topic);

  auto c = std::make_shared<detail::Consumer>();
  c->session = s.get();
  c->kind = spec.kind;
  if (!topic) {
    c->source = queueNamed(spec.destination.name);
    c->filter = spec.filter;
  } else if (spec.kind == ConsumerSpec::Subscriber) {
    auto sub = std::make_shared<detail::Subscription>();
    sub->topic = topicNamed(spec.destination.name);
    sub->filter = spec.filter;
    sub->selector = canonicalSelector(spec.selector);
    sub->topic->subscriptions.emplace(sub.get(), sub);
    c->source = sub;
  } else {
    auto dkey = std::make_pair(s->connection->clientId, spec.durableName);
    auto it = durables_.find(dkey);
    if (it != durables_.end()) {
      detail::Subscription& old = *it->second;
      if (old.active)
        fail(ErrorKind::Consumer, u"durable subscription \"" + spec.durableName + u"\" is in use",
             kCodeSubscriptionInUse);
      // A subscription reopened on another topic or with another selector
      // starts afresh.
      if (old.topic->name != spec.destination.name ||
          old.selector != canonicalSelector(spec.selector)) {
        checkStorage();
        if (old.stored) steps.push_back(step::DropSource{old.storeKey});
        old.topic->subscriptions.erase(&old);
        old.store.close();
        durables_.erase(it);
        it = durables_.end();
      }
    }
    if (it == durables_.end()) {
      checkStorage();
      auto sub = durableSubscription(dkey, spec.destination.name, spec.selector, spec.filter);
      keepSource(*sub, steps);
      it = durables_.find(dkey);
    }
    it->second->active = c.get();
    c->source = it->second;
  }
  c->key = EndpointKey{nextUid_++, s->key};
  c->source->consumers.push_back(c.get());
  s->consumers[c->key.uid] = c;
  EndpointKey made = c->key;
  Ticket t = store(std::move(steps));
  lock.unlock();
  awaitStored(t);
  return made;
}

void Broker::closeConsumer(const EndpointKey& key) {
  Lock lock(mutex_);
  closeConsumerLocked(*consumerFor(key), Closed::Consumer);
}

void Broker::closeConsumerLocked(detail::Consumer& c, Closed why) {
  ConsumerPtr keep = c.session->consumers.at(c.key.uid);
  auto& list = c.source->consumers;
  list.erase(std::remove(list.begin(), list.end(), &c), list.end());
  if (auto* sub = dynamic_cast<detail::Subscription*>(c.source.get())) {
    if (sub->durable) {
      sub->active = nullptr;
    } else {
      sub->topic->subscriptions.erase(sub);
      sub->store.close();
    }
  }
  c.closed = why;
  c.listener = false;
  c.cv.notify_all();
  c.session->consumers.erase(c.key.uid);
  c.session = nullptr;
}

void Broker::unsubscribe(const SessionKey& key, const std::u16string& name) {
  Lock lock(mutex_);
  const SessionPtr& s = sessionFor(key);
  auto it = durables_.find({s->connection->clientId, name});
  if (it == durables_.end())
    fail(ErrorKind::Destination, u"no durable subscription \"" + name + u"\"");
  if (it->second->active)
    fail(ErrorKind::Consumer, u"durable subscription \"" + name + u"\" is in use",
         kCodeSubscriptionInUse);
  checkStorage();
  Ticket t = it->second->stored ? store({step::DropSource{it->second->storeKey}}) : 0;
  it->second->topic->subscriptions.erase(it->second.get());
  it->second->store.close();
  durables_.erase(it);
  lock.unlock();
  awaitStored(t);
}

void Broker::setListener(const EndpointKey& key, bool enabled) {
  Lock lock(mutex_);
  const ConsumerPtr& c = consumerFor(key);
  if (enabled && c->kind == ConsumerSpec::Browser)
    fail(ErrorKind::Consumer, u"a browser cannot have a message listener");
  if (enabled && pushThreads_.empty() && !addPushThread())
    fail(ErrorKind::Resource, u"no thread can be started to push messages");
  c->listener = enabled;
  if (enabled) schedulePush(*c->session);
}

SweepResult Broker::sweep() {
  Lock lock(mutex_);
  SweepResult r;
  const int64_t t = now();
  // Only the map refers to a queue or topic whose use count is one: no
  // consumer, uncommitted receive, push or subscription holds it.
  for (auto it = queues_.begin(); it != queues_.end();) {
    r.expired += it->second->store.purgeExpired(t);
    if (it->second->store.size() == 0 && it->second.use_count() == 1) {
      if (it->second->stored) storeLater({step::DropSource{it->second->storeKey}});
      it = queues_.erase(it);
      ++r.dropped;
    } else {
      ++it;
    }
  }
  for (auto it = topics_.begin(); it != topics_.end();) {
    auto& subs = it->second->subscriptions;
    for (auto s = subs.begin(); s != subs.end();) {
      if (auto sub = s->second.lock()) {
        r.expired += sub->store.purgeExpired(t);
        ++s;
      } else {
        s = subs.erase(s);
      }
    }
    if (subs.empty() && it->second.use_count() == 1) {
      it = topics_.erase(it);
      ++r.dropped;
    } else {
      ++it;
    }
  }
  return r;
}

}  // namespace quorix::provider
