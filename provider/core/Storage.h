#pragma once
// What the provider keeps across a restart, behind one small interface. The
// broker records every change to its persistent state as a batch of steps; a
// backend makes each batch durable, all of it or none, and at start hands back
// what its batches left. The broker alone decides what is kept and when; a
// backend only stores.
//
// Kept: queues and durable subscriptions (sources), persistent messages, and
// entries, which put a message on a source at its place in arrival order.
// A message is kept while an entry refers to it.
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/Message.h"

namespace quorix::provider {

struct SourceRecord {
  enum Kind : int32_t { Queue = 0, Subscription = 1 };
  uint64_t key = 0;
  Kind kind = Queue;
  std::u16string clientId;  // subscriptions: client identifier and name
  std::u16string name;      // queues: their name
  std::u16string topic;     // subscriptions: the definition
  std::optional<std::u16string> selector;
  bool noLocal = false;
};

struct MessageRecord {
  uint64_t key = 0;
  std::u16string id;
  int64_t timestamp = 0;
  int64_t expiration = 0;
  int32_t priority = 4;
  int32_t deliveryMode = kPersistent;
  std::optional<std::u16string> correlationId;
  std::optional<std::u16string> type;
  std::vector<std::pair<std::u16string, std::u16string>> annotations;
  std::string payload;  // PayloadCodec's form
};

struct EntryRecord {
  uint64_t source = 0;
  uint64_t seq = 0;  // arrival order within the source
  uint64_t message = 0;
  bool delivered = false;  // handed to a client and not acknowledged yet
};

namespace step {
struct PutSource { SourceRecord source; };
struct DropSource { uint64_t source; };  // and its entries
struct PutMessage { MessageRecord message; };
struct PutEntry { EntryRecord entry; };
struct DropEntry { uint64_t source, seq; };
struct MarkDelivered { uint64_t source, seq; };
}  // namespace step
using StorageStep = std::variant<step::PutSource, step::DropSource, step::PutMessage,
                                 step::PutEntry, step::DropEntry, step::MarkDelivered>;

struct StorageContents {
  std::vector<SourceRecord> sources;
  std::vector<MessageRecord> messages;
  std::vector<EntryRecord> entries;
};

// A store that cannot be opened, read or written. The text says why.
class StorageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Storage {
 public:
  virtual ~Storage() = default;
  // Everything kept. Called once, before any apply.
  virtual StorageContents load() = 0;
  // Durable when it returns: every step, in order, or none (StorageError).
  // Steps on what is not there do nothing.
  virtual void apply(const std::vector<StorageStep>& steps) = 0;
};

// The front end's payload in a form a store can keep, and back.
class PayloadCodec {
 public:
  virtual ~PayloadCodec() = default;
  virtual std::string encode(const Payload& payload) const = 0;
  // Throws StorageError on bytes it cannot read.
  virtual std::shared_ptr<const Payload> decode(const std::string& bytes) const = 0;
};

}  // namespace quorix::provider
