#pragma once
// The broker's records. All fields are guarded by the broker's mutex; owners
// hold children by shared pointer, children point back to open owners only.
#include <condition_variable>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
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
  MessageStore store;
  std::vector<Consumer*> consumers;  // open consumers reading it
};

struct Queue : Source {
  std::u16string name;
};

struct Topic;

struct Subscription : Source {
  std::shared_ptr<Topic> topic;
  std::shared_ptr<const MessageFilter> filter;  // applied when a message is published
  std::optional<std::u16string> selector;
  bool durable = false;
  std::u16string name;
  Consumer* active = nullptr;
};

struct Topic {
  std::u16string name;
  std::set<Subscription*> subscriptions;
};

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

struct PendingSend {
  DestinationRef target;
  MessagePtr message;
};

struct Session {
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

  // Push delivery: one thread per session that ever had a listener.
  std::thread pushThread;
  std::shared_ptr<bool> pushDone;
  std::condition_variable pushCv;
  int32_t pushCursor = 0;  // uid served last, for round robin
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
