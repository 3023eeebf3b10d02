#pragma once
// The broker's records. All fields are guarded by the broker's mutex; owners
// hold children by shared pointer, children point back to open owners only.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Callbacks.h"
#include "core/Identity.h"
#include "core/MessageFilter.h"
#include "core/MessageStore.h"

namespace quorix::provider::detail {

// Why a consumer stopped; each becomes the matching failure of a waiter.
enum class CloseReason : int { Open, Consumer, Session, Connection, Shutdown };

struct Consumer;
struct Producer;
struct Session;

// Where consumers take messages from: a queue or a topic subscription.
struct Source {
  virtual ~Source() = default;
  // "queue:NAME" or "topic:NAME", for dead letters and the log.
  virtual std::u16string origin() const = 0;
  MessageStore store;
  // Its key in the broker's storage; 0 when nothing of it is kept (a plain
  // subscription, or no storage). `stored`: its record has been written.
  uint64_t storeKey = 0;
  bool stored = false;
  std::vector<Consumer*> consumers;  // open consumers reading it
};

struct Queue : Source {
  std::u16string name;
  std::u16string origin() const override { return u"queue:" + name; }
};

struct Topic;

struct Subscription : Source {
  std::shared_ptr<Topic> topic;
  std::shared_ptr<const MessageFilter> filter;  // applied when a message is published
  std::optional<std::u16string> selector;       // canonical (see canonicalSelector)
  bool durable = false;
  std::u16string clientId;  // durable ones: client identifier and name
  std::u16string name;
  Consumer* active = nullptr;
  std::u16string origin() const override;
};

struct Topic {
  std::u16string name;
  // Owned by their consumer or, when durable, by the broker.
  std::map<const Subscription*, std::weak_ptr<Subscription>> subscriptions;
};

inline std::u16string Subscription::origin() const { return u"topic:" + topic->name; }

struct Connection {
  ConnectionKey key;
  std::u16string clientId;
  bool started = false;
  std::shared_ptr<ConnectionCallbacks> callbacks;
  std::map<int32_t, std::shared_ptr<Session>> sessions;
};

struct Received {
  std::shared_ptr<Source> source;
  StoredEntry entry;
};

// What a receive must wait for before it answers: the storage's ticket, and
// the message to put back should the storage fail.
struct Taken {
  uint64_t ticket = 0;
  std::optional<Received> undo;
};

struct PendingSend {
  DestinationRef target;
  MessagePtr message;
  std::string stored;  // a kept message's payload in stored form
};

// Where a session stands with push delivery: waiting for work, in the ready
// list, paused after a failed push, or being served by a push thread.
enum class PushState { Idle, Queued, Delayed, Running };

struct Session : std::enable_shared_from_this<Session> {
  SessionKey key;
  Connection* connection = nullptr;  // valid while open
  bool open = true;
  bool transacted = false;
  int32_t ackMode = 1;
  std::shared_ptr<MessageSink> sink;
  std::map<int32_t, std::shared_ptr<Producer>> producers;
  std::map<int32_t, std::shared_ptr<Consumer>> consumers;
  std::vector<PendingSend> pendingSends;  // transacted: visible at commit
  std::vector<Received> received;         // transacted: removed at commit

  // Push delivery, by the broker's push threads, one push at a time.
  PushState pushState = PushState::Idle;
  bool pushAgain = false;   // work may have come while it was served
  bool pushing = false;     // a message is out with the client
  uint64_t pushesDone = 0;  // completed pushes, for stop and close to wait on
  int32_t pushCursor = 0;   // uid served last, for round robin
  int pushFailures = 0;
  std::chrono::steady_clock::time_point pushResumeAt{};
};

struct Producer {
  EndpointKey key;
  bool forTopic = false;
  std::optional<DestinationRef> destination;
};

struct Consumer {
  EndpointKey key;
  Session* session = nullptr;  // valid while open
  int kind = 0;  // ConsumerSpec::Kind
  std::shared_ptr<Source> source;
  std::shared_ptr<const MessageFilter> filter;  // queue receivers and browsers
  std::optional<MessageStore::Key> browseCursor;
  MessageStore::ScanMemo scanMemo;  // for `filter`, which never changes
  bool listener = false;
  CloseReason closed = CloseReason::Open;
  std::condition_variable cv;
};

}  // namespace quorix::provider::detail
