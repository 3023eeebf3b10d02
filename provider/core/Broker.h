#pragma once
// The messaging engine: connections, sessions, producers, consumers, queues,
// topics, durable subscriptions and transactions. Everything lives in memory;
// with a storage, persistent messages, durable subscriptions and what
// transactions do to them are also kept there, and a call that changes them
// returns once the change is durable.
// Thread-safe; blocking receives wait without holding up other calls.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/BrokerConfig.h"
#include "core/Callbacks.h"
#include "core/Error.h"
#include "core/Identity.h"
#include "core/Message.h"
#include "core/MessageFilter.h"
#include "core/MessageStore.h"
#include "core/Storage.h"
#include "core/StorageWriter.h"

namespace quorix::provider {

namespace detail {
struct Connection;
struct Session;
struct Consumer;
struct Producer;
struct Source;
struct Queue;
struct Topic;
struct Subscription;
struct PendingSend;
struct Taken;
enum class CloseReason : int;
}  // namespace detail

struct ConnectRequest {
  std::u16string clientId;  // empty: none
  std::u16string user;
  std::u16string password;
  std::u16string driver;
  int32_t majorVersion = 1;
  std::shared_ptr<ConnectionCallbacks> callbacks;
};

struct ConsumerSpec {
  enum Kind { Receiver, Browser, Subscriber, Durable } kind = Receiver;
  DestinationRef destination;
  std::u16string durableName;
  std::optional<std::u16string> selector;         // the text, for comparison
  std::shared_ptr<const MessageFilter> filter;    // null: every message
};

// The header fields a sender decides; the broker adds identifier and time stamp.
struct OutgoingMessage {
  int64_t expiration = 0;
  int32_t priority = 4;
  int32_t deliveryMode = kNonPersistent;
  std::optional<std::u16string> correlationId;
  std::optional<std::u16string> type;
  std::shared_ptr<const Payload> payload;
};

struct SentMessage {
  std::u16string id;
  int64_t timestamp = 0;
};

struct Wait {
  enum Mode { NoWait, Forever, Until } mode = NoWait;
  std::chrono::steady_clock::time_point deadline{};
  static Wait none() { return {}; }
  static Wait forever() { return {Forever, {}}; }
  static Wait until(std::chrono::steady_clock::time_point t) { return {Until, t}; }
  // `ms` from now; a wait longer than a century has no limit, since its
  // deadline could overflow the clock.
  static Wait within(int64_t ms) {
    constexpr int64_t kCenturyMs = int64_t(100) * 366 * 24 * 3600 * 1000;
    if (ms <= 0) return none();
    if (ms > kCenturyMs) return forever();
    return until(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
  }
};

struct BrokerStats {
  size_t connections = 0, sessions = 0, consumers = 0, producers = 0, messages = 0;
  size_t queues = 0, topics = 0;
};

struct SweepResult {
  size_t expired = 0;  // messages dropped
  size_t dropped = 0;  // destinations dropped
};

struct ConnectionInfo {
  ConnectionKey key;
  std::u16string clientId;
  std::shared_ptr<ConnectionCallbacks> callbacks;
};

class Broker {
 public:
  explicit Broker(BrokerConfig config);
  ~Broker();
  Broker(const Broker&) = delete;
  Broker& operator=(const Broker&) = delete;

  const BrokerConfig& config() const { return config_; }

  // Loads what the storage kept: queues and durable subscriptions with their
  // persistent messages in order, the ones handed out and never acknowledged
  // marked redelivered; expired ones are deleted. Once, before any connection
  // (which is refused until then). Throws StorageError.
  void restore();
  // Backend writes so far; 0 without storage.
  uint64_t storageWrites() const;

  // Wakes every waiter, closes everything, joins the push threads (a push
  // under way finishes first), and waits for the storage to write what is
  // queued. Later calls fail with BadState.
  void shutdown();
  // Drops expired messages, and the queues and topics that hold nothing and
  // that nothing refers to (they come back when named again).
  SweepResult sweep();

  ConnectionKey connect(const ConnectRequest& request);
  void setClientId(const ConnectionKey& key, const std::u16string& clientId);
  void start(const ConnectionKey& key);
  // Both return only once no push to the connection is under way.
  void stop(const ConnectionKey& key);
  void closeConnection(const ConnectionKey& key);
  // A connection the server gave up on (failed ping): closed, its
  // uncommitted and in-flight messages returned. False if already gone.
  bool dropConnection(int32_t cid);

  SessionKey createSession(const ConnectionKey& key, int32_t ackMode, bool transacted,
                           std::shared_ptr<MessageSink> sink);
  void closeSession(const SessionKey& key);
  void commit(const SessionKey& key);
  void rollback(const SessionKey& key);

  // `destination` absent: a producer without one (only produce-to works).
  EndpointKey createProducer(const SessionKey& key, bool forTopic,
                             const std::optional<DestinationRef>& destination);
  void closeProducer(const EndpointKey& key);
  EndpointKey createConsumer(const SessionKey& key, const ConsumerSpec& spec);
  void closeConsumer(const EndpointKey& key);
  void unsubscribe(const SessionKey& key, const std::u16string& name);
  void setListener(const EndpointKey& key, bool enabled);

  SentMessage produce(const EndpointKey& producer, const std::optional<DestinationRef>& target,
                      OutgoingMessage message);
  std::optional<Delivery> receive(const EndpointKey& consumer, Wait wait);
  // The message with that identifier, if the consumer could receive it now.
  std::optional<Delivery> receiveById(const EndpointKey& consumer, const std::u16string& id);

  // Lookups for the front end and test control. The first three fail like any
  // other call on an unknown identifier, but check only the numbers.
  ConnectionKey connectionKey(int32_t cid) const;
  SessionKey sessionKey(int32_t cid, int32_t sid) const;
  EndpointKey endpointKey(int32_t cid, int32_t sid, int32_t uid) const;
  std::vector<ConnectionInfo> connections() const;
  BrokerStats stats() const;

 private:
  using Lock = std::unique_lock<std::mutex>;
  using ConnectionPtr = std::shared_ptr<detail::Connection>;
  using SessionPtr = std::shared_ptr<detail::Session>;
  using ConsumerPtr = std::shared_ptr<detail::Consumer>;
  using SourcePtr = std::shared_ptr<detail::Source>;

  using Closed = detail::CloseReason;

  void checkRunning() const;
  detail::Connection& connectionFor(const ConnectionKey& key) const;
  const SessionPtr& sessionFor(const SessionKey& key) const;
  detail::Producer& producerFor(const EndpointKey& key) const;
  const ConsumerPtr& consumerFor(const EndpointKey& key) const;
  bool clientIdTaken(const std::u16string& id, int32_t exceptCid) const;
  void checkCredentials(const std::u16string& user, const std::u16string& password) const;
  void checkDestination(const DestinationRef& d, bool wantTopic) const;
  std::shared_ptr<detail::Queue> queueNamed(const std::u16string& name);
  std::shared_ptr<detail::Topic> topicNamed(const std::u16string& name);
  std::shared_ptr<detail::Subscription> durableSubscription(
      const std::pair<std::u16string, std::u16string>& key, const std::u16string& topic,
      const std::optional<std::u16string>& selector, std::shared_ptr<const MessageFilter> filter);

  // Storage. Steps are queued while the lock is held, in the order of the
  // changes they record; callers wait for their ticket without the lock.
  using Ticket = StorageWriter::Ticket;
  static bool keeps(const detail::Source& source, const Message& m);
  void keepSource(detail::Source& source, std::vector<StorageStep>& steps);
  void observeExpiry(detail::Source& source);
  Ticket store(std::vector<StorageStep> steps);  // the caller waits for it
  void storeLater(std::vector<StorageStep> steps);  // no one waits for it
  void awaitStored(Ticket ticket);
  void checkStorage() const;
  MessagePtr restoredMessage(MessageRecord& record) const;
  static MessageRecord recordOf(const Message& m, std::string payload);

  void closeConnectionLocked(const ConnectionPtr& c, Closed why);
  void closeSessionLocked(const SessionPtr& s, Closed why);
  void closeConsumerLocked(detail::Consumer& c, Closed why);
  void rollbackLocked(detail::Session& s);
  void returnToSource(const SourcePtr& source, StoredEntry entry);
  void notifySource(detail::Source& source);
  void notifyConnection(detail::Connection& c);
  void waitForPushes(Lock& lock, const detail::Connection& c);

  // Sending: queues at once, topics through their subscriptions' selectors,
  // which run without the lock.
  // Returns the ticket of `steps` and the kept copies' own, one batch.
  Ticket deliver(Lock& lock, std::vector<detail::PendingSend> sends,
                 std::vector<StorageStep> steps = {});
  void checkDepth(detail::Queue& queue, size_t pendingForIt);
  void deadLetter(const SourcePtr& from, StoredEntry entry);
  void log(const std::u16string& text) const;

  // Receiving. Selectors run without the lock, so these release it for a
  // while; callers check what they rely on afterwards.
  std::optional<Delivery> receiveLocked(Lock& lock, const ConsumerPtr& c, Wait wait,
                                       const std::u16string* id, detail::Taken& taken);
  void acknowledge(Lock& lock, detail::Taken& taken);
  bool canTake(const detail::Consumer& c, bool forPush) const;
  std::optional<StoredEntry> takeFor(Lock& lock, const ConsumerPtr& c, bool forPush,
                                     const std::u16string* id);
  std::optional<Delivery> browseNext(Lock& lock, const ConsumerPtr& c);
  [[noreturn]] static void throwClosed(Closed why);

  // Push delivery: sessions with work queue up for a bounded set of threads.
  void schedulePush(detail::Session& s);
  bool addPushThread();
  void pushThread();
  bool pushOnce(Lock& lock, const SessionPtr& s);
  void settlePush(Lock& lock, const SessionPtr& s, const ConsumerPtr& consumer,
                  const SourcePtr& source, StoredEntry entry, PushOutcome outcome);

  std::u16string nextMessageId();
  int64_t now() const { return config_.nowMs(); }

  BrokerConfig config_;
  mutable std::mutex mutex_;
  bool shutdown_ = false;
  int32_t nextCid_ = 1, nextSid_ = 1, nextUid_ = 1;
  uint64_t nextMessage_ = 1;
  std::u16string runId_;
  std::unique_ptr<StorageWriter> writer_;  // with a storage
  bool restored_ = false;
  uint64_t nextRecord_ = 1, nextSourceKey_ = 1;
  std::map<int32_t, ConnectionPtr> connections_;
  std::map<int32_t, SessionPtr> sessions_;  // every open session, by sid
  std::map<std::u16string, std::shared_ptr<detail::Queue>> queues_;
  std::map<std::u16string, std::shared_ptr<detail::Topic>> topics_;
  // (client identifier, subscription name)
  std::map<std::pair<std::u16string, std::u16string>, std::shared_ptr<detail::Subscription>>
      durables_;
  // Push threads and the sessions waiting for one.
  std::vector<std::thread> pushThreads_;
  std::vector<std::thread::id> endedPushThreads_;  // to be joined at shutdown
  size_t idlePushThreads_ = 0;
  std::deque<SessionPtr> pushReady_;
  std::multimap<std::chrono::steady_clock::time_point, SessionPtr> pushDelayed_;
  std::condition_variable pushWork_;
  std::condition_variable pushSettled_;  // a push completed
};

}  // namespace quorix::provider
