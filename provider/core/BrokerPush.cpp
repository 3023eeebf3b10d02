// Push delivery to listeners, and dead letters.
//
// Sessions with work wait in a ready list for one of at most
// config_.pushThreads threads; a session is served by one thread at a time, so
// its pushes never overlap. A pushed message joins the session's transaction
// before the client sees it, so that a commit or rollback inside onMessage
// settles it.
#include <algorithm>
#include <system_error>

#include "core/Broker.h"
#include "core/Text.h"
#include "core/detail/Entities.h"
#include "core/detail/Unlocked.h"

namespace quorix::provider {

using detail::PushState;
using Clock = std::chrono::steady_clock;

namespace {
Clock::duration backoff(int failures) {
  return std::chrono::milliseconds(std::min<int64_t>(2000, int64_t(20) << std::min(failures, 7)));
}

// The entry of `message` from `source` in the session's transaction, taken out.
std::optional<StoredEntry> takeReceived(detail::Session& s, const detail::Source* source,
                                        const MessagePtr& message) {
  auto it = std::find_if(s.received.begin(), s.received.end(), [&](const detail::Received& r) {
    return r.source.get() == source && r.entry.message == message;
  });
  if (it == s.received.end()) return std::nullopt;
  StoredEntry e = std::move(it->entry);
  s.received.erase(it);
  return e;
}
}  // namespace

void Broker::schedulePush(detail::Session& s) {
  if (!s.open || shutdown_) return;
  switch (s.pushState) {
    case PushState::Idle:
      s.pushState = PushState::Queued;
      pushReady_.push_back(s.shared_from_this());
      if (idlePushThreads_ > 0)
        pushWork_.notify_one();
      else
        addPushThread();
      break;
    case PushState::Running: s.pushAgain = true; break;
    default: break;  // already waiting for a thread, or pausing
  }
}

// False when none could be started and none runs.
bool Broker::addPushThread() {
  if (pushThreads_.size() >= std::max<size_t>(1, config_.pushThreads)) return true;
  try {
    pushThreads_.emplace_back([this] { pushThread(); });
  } catch (const std::system_error&) {
    log(u"cannot start a push thread; " + u16(int64_t(pushThreads_.size())) + u" serve listeners");
  }
  return !pushThreads_.empty();
}

void Broker::pushThread() {
  Lock lock(mutex_);
  while (!shutdown_) {
    for (auto now = Clock::now(); !pushDelayed_.empty() && pushDelayed_.begin()->first <= now;) {
      SessionPtr s = std::move(pushDelayed_.begin()->second);
      pushDelayed_.erase(pushDelayed_.begin());
      s->pushState = PushState::Idle;
      schedulePush(*s);
    }
    if (pushReady_.empty()) {
      ++idlePushThreads_;
      if (pushDelayed_.empty()) {
        pushWork_.wait(lock);
      } else {
        Clock::time_point next = pushDelayed_.begin()->first;  // the entry may go meanwhile
        pushWork_.wait_until(lock, next);
      }
      --idlePushThreads_;
      continue;
    }
    SessionPtr s = std::move(pushReady_.front());
    pushReady_.pop_front();
    s->pushState = PushState::Running;
    s->pushAgain = false;
    bool pushed = s->open && pushOnce(lock, s);
    if (!s->open || shutdown_) {
      s->pushState = PushState::Idle;
    } else if (Clock::now() < s->pushResumeAt) {
      s->pushState = PushState::Delayed;
      pushDelayed_.emplace(s->pushResumeAt, s);
      pushWork_.notify_one();  // an idle thread may need to wake earlier now
    } else if (pushed || s->pushAgain) {
      s->pushState = PushState::Queued;  // behind the others: sessions take turns
      pushReady_.push_back(s);
    } else {
      s->pushState = PushState::Idle;
    }
  }
  endedPushThreads_.push_back(std::this_thread::get_id());
  pushSettled_.notify_all();
}

// One push to one of the session's listeners, round robin; false if none had
// anything to take.
bool Broker::pushOnce(Lock& lock, const SessionPtr& s) {
  if (!s->connection || !s->connection->started) return false;
  std::vector<ConsumerPtr> turn;  // the map may change while selectors run
  auto start = s->consumers.upper_bound(s->pushCursor);
  for (size_t n = 0; n < s->consumers.size(); ++n, ++start) {
    if (start == s->consumers.end()) start = s->consumers.begin();
    if (start->second->listener) turn.push_back(start->second);
  }
  ConsumerPtr consumer;
  std::optional<StoredEntry> entry;
  for (const ConsumerPtr& c : turn) {
    if ((entry = takeFor(lock, c, true, nullptr))) {
      consumer = c;
      break;
    }
  }
  if (!entry) return false;
  s->pushCursor = consumer->key.uid;
  SourcePtr source = consumer->source;
  // A kept message stays kept until the push is acknowledged; the store notes
  // first that it went out, so that after a crash it comes back redelivered.
  Ticket marked = 0;
  if (keeps(*source, *entry->message) && !entry->redelivered)
    marked = store({step::MarkDelivered{source->storeKey, entry->seq}});
  if (s->transacted) s->received.push_back({source, *entry});
  s->pushing = true;
  Delivery delivery{entry->message, entry->redelivered, consumer->key};
  std::shared_ptr<MessageSink> sink = s->sink;
  PushOutcome outcome = PushOutcome::Failed;
  {
    detail::Unlocked unlocked(lock);
    try {
      awaitStored(marked);
    } catch (const ProviderError&) {
      // The store broke (and said so in the log); the message still goes out.
    }
    if (sink) outcome = sink->push(delivery);
  }
  s->pushing = false;
  ++s->pushesDone;
  pushSettled_.notify_all();
  settlePush(lock, s, consumer, source, std::move(*entry), outcome);
  return true;
}

void Broker::settlePush(Lock& lock, const SessionPtr& s, const ConsumerPtr& consumer,
                        const SourcePtr& source, StoredEntry entry, PushOutcome outcome) {
  if (outcome == PushOutcome::Delivered) {
    s->pushFailures = 0;
    // Acknowledged by onMessage returning; no one waits for the write.
    if (!s->transacted && keeps(*source, *entry.message))
      storeLater({step::DropEntry{source->storeKey, entry.seq}});
    return;
  }
  // Back it goes, unless a commit or rollback inside onMessage settled it.
  std::optional<StoredEntry> back = s->transacted
                                        ? takeReceived(*s, source.get(), entry.message)
                                        : std::optional<StoredEntry>(std::move(entry));
  bool failed = outcome == PushOutcome::Failed || outcome == PushOutcome::TimedOut;
  if (back) {
    if (failed && ++back->failures >= std::max<uint32_t>(1, config_.maxDeliveryFailures))
      deadLetter(source, std::move(*back));
    else
      returnToSource(source, std::move(*back));
  }
  switch (outcome) {
    case PushOutcome::Failed:
      s->pushResumeAt = Clock::now() + backoff(s->pushFailures++);
      break;
    case PushOutcome::ConsumerGone:
      consumer->listener = false;
      break;
    case PushOutcome::SessionGone:
      if (s->open) closeSessionLocked(s, Closed::Session);
      break;
    case PushOutcome::TimedOut: {
      if (!s->open) break;
      std::shared_ptr<ConnectionCallbacks> callbacks = s->connection->callbacks;
      EventTarget target{s->key.connection, s->key, std::nullopt};
      std::u16string why = u"session " + u16(int64_t(s->key.sid)) + u" of connection " +
                           u16(int64_t(s->key.connection.cid)) +
                           u" closed: its listener did not return within the callback time-out";
      closeSessionLocked(s, Closed::Session);
      log(why);
      if (callbacks) {
        detail::Unlocked unlocked(lock);
        callbacks->serverEvent(kEventSessionClosed, why, target);
      }
      break;
    }
    default: break;
  }
}

// The move is one storage batch: the message leaves its source and, kept as
// it was, arrives in the dead-letter queue, or is gone.
void Broker::deadLetter(const SourcePtr& from, StoredEntry entry) {
  const std::u16string& dlq = config_.deadLetterQueue;
  std::u16string what = u"message " + entry.message->id + u" from " + from->origin() +
                        u" failed delivery " + u16(int64_t(entry.failures)) + u" times";
  std::vector<StorageStep> steps;
  if (keeps(*from, *entry.message)) steps.push_back(step::DropEntry{from->storeKey, entry.seq});
  auto* fromQueue = dynamic_cast<detail::Queue*>(from.get());
  if (fromQueue && fromQueue->name == dlq) {
    storeLater(std::move(steps));
    log(what + u"; dropped, as it came from the dead-letter queue");
    return;
  }
  auto q = queueNamed(dlq);
  if (config_.maxQueueDepth != 0 && q->store.size() >= config_.maxQueueDepth) {
    storeLater(std::move(steps));
    log(what + u"; dropped, as the dead-letter queue is full");
    return;
  }
  auto m = std::make_shared<Message>(*entry.message);
  m->expiration = 0;  // kept until someone looks
  m->annotations = {{u"JMS_Quorix_DeadLetterReason",
                     u"delivery failed " + u16(int64_t(entry.failures)) + u" times"},
                    {u"JMS_Quorix_DeadLetterOrigin", from->origin()}};
  m->record = entry.message->record != 0 && writer_ ? nextRecord_++ : 0;
  uint64_t seq = q->store.push(m);
  if (seq != 0 && keeps(*q, *m)) {
    keepSource(*q, steps);
    steps.push_back(step::PutMessage{recordOf(*m, config_.codec->encode(*m->payload))});
    steps.push_back(step::PutEntry{{q->storeKey, seq, m->record, false}});
  }
  storeLater(std::move(steps));
  notifySource(*q);
  log(what + u"; moved to queue \"" + dlq + u"\"");
}

}  // namespace quorix::provider
